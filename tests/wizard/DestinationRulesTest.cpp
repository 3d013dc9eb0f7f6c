#include <gtest/gtest.h>

#include "wizard/DestinationRules.h"

TEST(DestinationRules, AcceptsDrivePathsAndUncShares) {
    for (const char* folder : {"C:\\Program Files\\Demo", "d:\\", "C:\\", "Z:\\a b\\", "C:\\App\\\\",
                               "\\\\server\\share", "\\\\server\\share\\Apps\\Demo", "\\\\s\\x\\"})
        EXPECT_TRUE(IsUsableInstallFolder(folder)) << folder;
}

TEST(DestinationRules, RefusesEmptyBlankRelativeAndHalfPaths) {
    for (const char* folder : {"", " ", "   \t", "Demo", "Program Files\\Demo", "\\Program Files", "C:", "C:Demo",
                               " C:\\Demo", "1:\\Demo", "C:/Demo", "\\\\", "\\\\server", "\\\\server\\",
                               "\\\\\\share", "\\\\ \\share", "\\\\server\\ \\x"})
        EXPECT_FALSE(IsUsableInstallFolder(folder)) << '"' << folder << '"';
}

TEST(DestinationRules, BlankMeansNothingAboveCode32) {
    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank(" \t\r\n\x01 "));
    EXPECT_FALSE(IsBlank(" a "));
    EXPECT_FALSE(IsBlank("\xE9"));  // a letter of the code page, not a control character
}
