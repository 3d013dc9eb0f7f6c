#include "system/SystemRules.h"

#include <gtest/gtest.h>

namespace {
constexpr std::uint32_t kWindows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr std::uint32_t kNT = 2;
TWinVersionClass Classify(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::uint32_t platform) {
    return ClassifyWinVersion({major, minor, build, platform});
}
// Shift-JIS style: 0x81..0x9F and 0xE0..0xFC lead a pair.
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
}  // namespace

TEST(WinVersion, AllNineClasses) {
    EXPECT_EQ(Classify(0, 0, 0, 0), wcUnknown) << "no version at all";
    EXPECT_EQ(Classify(3, 51, 1057, kNT), wcUnknown);
    EXPECT_EQ(Classify(4, 0, 1381, kNT), wcNT4);
    EXPECT_EQ(Classify(4, 0, 950, kWindows), wc95);
    EXPECT_EQ(Classify(4, 0, 1111, kWindows), wc95OSR2);
    EXPECT_EQ(Classify(4, 10, 1998, kWindows), wc98);
    EXPECT_EQ(Classify(4, 10, 2222, kWindows), wc98SE);
    EXPECT_EQ(Classify(5, 0, 2195, kNT), wc2000);
    EXPECT_EQ(Classify(4, 90, 3000, kWindows), wcMe);
    EXPECT_EQ(Classify(5, 1, 2600, kNT), wcXP);
}

TEST(WinVersion, Boundaries) {
    EXPECT_EQ(Classify(4, 0, 999, kWindows), wc95);
    EXPECT_EQ(Classify(4, 0, 1000, kWindows), wc95OSR2);
    EXPECT_EQ(Classify(4, 9, 1000, kWindows), wc95OSR2);
    EXPECT_EQ(Classify(4, 10, 2221, kWindows), wc98);
    EXPECT_EQ(Classify(4, 89, 2222, kWindows), wc98SE);
    EXPECT_EQ(Classify(4, 90, 0, kWindows), wcMe);
    EXPECT_EQ(Classify(4, 90, 0, kNT), wcNT4) << "NT comes before the minor tests";
    EXPECT_EQ(Classify(6, 0, 6000, kNT), wc2000);
    EXPECT_EQ(Classify(6, 1, 7601, kNT), wcXP);
    EXPECT_EQ(Classify(10, 0, 19045, kNT), wc2000);
}

TEST(WinVersion, OnlyTheLowWordOfTheBuildCountsOutsideNT) {
    // Windows 98 as Wine reports it: build 0x040A08AE, 2222 in the low word.
    EXPECT_EQ(Classify(4, 10, 0x040A08AE, kWindows), wc98SE);
    EXPECT_EQ(Classify(4, 10, 0x040A0000 | 1998, kWindows), wc98);
    EXPECT_EQ(Classify(4, 0, 0x04000000 | 950, kWindows), wc95);
}

TEST(ApplicationTitle, FirstCharacterKeptTheRestLowered) {
    EXPECT_EQ(ApplicationTitleOf("C:\\Temp\\SETUP.EXE"), "Setup");
    EXPECT_EQ(ApplicationTitleOf("C:\\Temp\\setup.exe"), "setup");
    EXPECT_EQ(ApplicationTitleOf("INSTALLER.EXE"), "Installer");
    EXPECT_EQ(ApplicationTitleOf("C:\\a.b\\MyApp.Setup.exe"), "Myapp");
    EXPECT_EQ(ApplicationTitleOf("C:\\x\\noext"), "noext");
}

TEST(BackslashSearch, SecondBytesOfDoubleByteCharactersAreNotSeparators) {
    const std::string table = "C:\\\x95\x5C";  // ends in a two-byte character whose second byte is 0x5C
    EXPECT_FALSE(EndsWithBackslash(table, ShiftJisLead));
    EXPECT_TRUE(EndsWithBackslash(table, NoLeadBytes));
    EXPECT_EQ(FindLastOf(table, "\\", ShiftJisLead), 2u);
    EXPECT_EQ(FindLastOf(table + "\\", "\\", ShiftJisLead), 5u);
    EXPECT_EQ(FindLastOf("C:", "\\:", NoLeadBytes), 1u);
    EXPECT_EQ(FindLastOf("abc", "\\:", NoLeadBytes), std::string::npos);
    EXPECT_FALSE(EndsWithBackslash("", NoLeadBytes));
}
