// RunLogged: the frame both unattended programs run in.
#include "unattended/RunLog.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace {

std::string Text(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(RunLogged, EndsTheLogWithTheExitCodeAndLogsWhatTheRunRaises) {
    TempDir dir;
    const std::string path = dir.File("run.log");
    EXPECT_EQ(RunLogged(path, [](TRunLog& log) { log.Line("Step one"); return 5; }), 5);
    EXPECT_EQ(Text(path), "Step one\r\nExit code 5\r\n");

    EXPECT_EQ(RunLogged(path, [](TRunLog& log) -> int {
                  log.Line("Step one");
                  throw std::runtime_error("it broke");
              }),
              ExitCode::kUnexpected);
    EXPECT_EQ(Text(path), "Step one\r\nError: Exception: it broke.\r\nExit code 1\r\n");
}

TEST(RunLogged, RunsWithoutALogAndNotAtAllWhenTheLogCannotBeMade) {
    TempDir dir;
    bool ran = false;
    EXPECT_EQ(RunLogged("", [&](TRunLog& log) { log.Line("nowhere"); return ran = true, 0; }), 0);
    EXPECT_TRUE(ran);
    ran = false;
    EXPECT_EQ(RunLogged(dir.File("missing/run.log"), [&](TRunLog&) { return ran = true, 0; }), ExitCode::kLogNotWritten);
    EXPECT_FALSE(ran);
}

}  // namespace
