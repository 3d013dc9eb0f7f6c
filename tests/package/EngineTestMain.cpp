// The engine's tests run with what the program sets up as it starts: COM on
// the thread, the DDE instance, and a message pump after each progress report.
#include <gtest/gtest.h>

#include "package/DdeInstance.h"
#include "system/ComPtr.h"
#include "tests/package/EngineTestSupport.h"
#include "tests/support/PlainPrinter.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    UsePlainPrinter();

    ComInitialization com;
    TDdeInstance dde;
    SetProcessMessages(&PumpMessages);
    return RUN_ALL_TESTS();
}
