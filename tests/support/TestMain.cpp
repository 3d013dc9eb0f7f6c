// The main of every Windows test program without a main of its own.
#include <gtest/gtest.h>

#include "tests/support/PlainPrinter.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    UsePlainPrinter();
    return RUN_ALL_TESTS();
}
