#include "tools/description/PackagePaths.h"

#include <gtest/gtest.h>

namespace PP = PackagePaths;

namespace {

TEST(PackagePaths, NormalizeGivesSingleBackslashesWithNoneLeadingOrTrailing) {
    EXPECT_EQ(PP::Normalize("a/b\\c").Path, "a\\b\\c");
    EXPECT_EQ(PP::Normalize("//a///b//").Path, "a\\b");
    EXPECT_EQ(PP::Normalize("\\").Path, "");
    EXPECT_EQ(PP::Normalize("").Path, "");
    EXPECT_EQ(PP::Normalize("a..b/.c").Path, "a..b\\.c");  // dots inside a name are fine
    EXPECT_TRUE(PP::Normalize("a..b/.c").Problem.empty());
}

TEST(PackagePaths, NormalizeRefusesWhatLeavesTheBaseOrNamesNoFile) {
    for (const char* up : {"..", "a/../b", "./a", "a/.", "a\\..\\..\\Windows"}) {
        const PP::TSubPath p = PP::Normalize(up);
        EXPECT_NE(p.Problem.find("stay below their base folder"), std::string::npos) << up << ": " << p.Problem;
    }
    for (const char* bad : {"a<b", "a>b", "C:x", "a\"b", "a|b", "a?b", "a*b"}) {
        const PP::TSubPath p = PP::Normalize(bad);
        EXPECT_NE(p.Problem.find("cannot appear in a Windows file or folder name"), std::string::npos) << bad;
    }
    EXPECT_NE(PP::Normalize("a\tb").Problem.find("a control character"), std::string::npos);
    EXPECT_NE(PP::Normalize("ok/a:b").Problem.find("\":\""), std::string::npos);
}

TEST(PackagePaths, SplitJoinAndAncestors) {
    EXPECT_EQ(PP::SplitLast("a\\b\\c"), std::make_pair(std::string("a\\b"), std::string("c")));
    EXPECT_EQ(PP::SplitLast("c"), std::make_pair(std::string(), std::string("c")));
    EXPECT_EQ(PP::Join("", ""), "");
    EXPECT_EQ(PP::Join("a", ""), "a");
    EXPECT_EQ(PP::Join("", "b"), "b");
    EXPECT_EQ(PP::Join("a\\b", "c"), "a\\b\\c");
    EXPECT_EQ(PP::SelfAndAncestors(""), std::vector<std::string>{""});
    EXPECT_EQ(PP::SelfAndAncestors("a"), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(PP::SelfAndAncestors("a\\b\\c"), (std::vector<std::string>{"", "a", "a\\b", "a\\b\\c"}));
}

TEST(PackagePaths, NamesCompareAsWindowsComparesThemInAscii) {
    EXPECT_TRUE(PP::SameName("Uninstall.EXE", "uninstall.exe"));
    EXPECT_FALSE(PP::SameName("Uninstall.exe", "Uninstall.ex"));
    EXPECT_FALSE(PP::SameName("\xC9", "\xE9"));  // only ASCII letters fold
    EXPECT_EQ(PP::Folded("AbC-Z_z"), "abc-z_z");
}

}  // namespace
