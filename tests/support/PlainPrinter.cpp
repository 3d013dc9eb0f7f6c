#include "tests/support/PlainPrinter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

// Prints what GoogleTest's own printer prints, in plain text.
class PlainPrinter : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override {
        std::printf("[ RUN      ] %s.%s\n", test.test_suite_name(), test.name());
    }
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.failed())
            std::printf("%s:%d: Failure\n%s\n", result.file_name() ? result.file_name() : "unknown file",
                        result.line_number(), result.message());
        else if (result.skipped())
            std::printf("Skipped: %s\n", result.message());
    }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        const auto* result = test.result();
        const char* verdict = result->Failed() ? "  FAILED  " : result->Skipped() ? " SKIPPED  " : "       OK ";
        std::printf("[%s] %s.%s (%lld ms)\n", verdict, test.test_suite_name(), test.name(),
                    static_cast<long long>(result->elapsed_time()));
        std::fflush(stdout);
    }
    void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
        std::printf("[==========] %d tests ran: %d passed, %d failed, %d skipped.\n", unit.test_to_run_count(),
                    unit.successful_test_count(), unit.failed_test_count(), unit.skipped_test_count());
        for (int i = 0; i < unit.total_test_suite_count(); ++i) {
            const auto* suite = unit.GetTestSuite(i);
            for (int j = 0; j < suite->total_test_count(); ++j)
                if (suite->GetTestInfo(j)->result()->Failed())
                    std::printf("[  FAILED  ] %s.%s\n", suite->name(), suite->GetTestInfo(j)->name());
        }
        std::fflush(stdout);
    }
};

}  // namespace

void UsePlainPrinter() {
    auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
    std::unique_ptr<::testing::TestEventListener> defaultPrinter(listeners.Release(listeners.default_result_printer()));
    listeners.Append(std::make_unique<PlainPrinter>().release());  // the listener list owns it
}
