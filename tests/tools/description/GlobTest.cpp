#include "tools/description/Glob.h"

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace {

TEST(Glob, MatchesNames) {
    EXPECT_TRUE(Glob::MatchName("*.txt", "a.txt"));
    EXPECT_TRUE(Glob::MatchName("*", ".hidden"));
    EXPECT_TRUE(Glob::MatchName("a*b*c", "abbbc"));
    EXPECT_TRUE(Glob::MatchName("?.bmp", "x.bmp"));
    EXPECT_TRUE(Glob::MatchName("*a*", "a"));
    EXPECT_TRUE(Glob::MatchName("a**b", "ab"));
    EXPECT_FALSE(Glob::MatchName("?.bmp", "xy.bmp"));
    EXPECT_FALSE(Glob::MatchName("?", ""));
    EXPECT_FALSE(Glob::MatchName("*.txt", "a.TXT"));
    EXPECT_FALSE(Glob::MatchName("a*b", "acbd"));
    EXPECT_FALSE(Glob::MatchName("abc", "ab"));
}

TEST(Glob, WildcardsAreOnlyStarAndQuestionMark) {
    EXPECT_TRUE(Glob::HasWildcards("a/*.txt"));
    EXPECT_TRUE(Glob::HasWildcards("a?"));
    EXPECT_FALSE(Glob::HasWildcards("a[1].txt"));
    EXPECT_FALSE(Glob::HasWildcards("dir\\file"));
}

class GlobFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* f : {"r/b.txt", "r/A.txt", "r/sub/c.txt", "r/sub/deep/d.txt", "r/sub/e.bin"}) {
            std::filesystem::create_directories((dir.Path() / f).parent_path());
            WriteFileBytes(dir.Path() / f, {});
        }
    }
    std::string Relatives(const std::string& base, const char* pattern) const {
        std::string out;
        for (const auto& m : Glob::Expand(base, pattern).Matches) out += m.Relative + " ";
        return out;
    }
    TempDir dir;
};

TEST_F(GlobFiles, ExpandsRecursivelyInByteOrder) {
    const std::string base = dir.Path().string();
    EXPECT_EQ(Relatives(base, "r/*.txt"), "A.txt b.txt ");
    EXPECT_EQ(Relatives(base, "r/**/*.txt"), "A.txt b.txt sub/c.txt sub/deep/d.txt ");
    EXPECT_EQ(Relatives(base, "r/**"), "A.txt b.txt sub/c.txt sub/deep/d.txt sub/e.bin ");
    EXPECT_EQ(Relatives(base, "r\\s*\\*.bin"), "sub/e.bin ");
    EXPECT_EQ(Relatives(base, "r/**/**/d.txt"), "sub/deep/d.txt ");  // found once
    EXPECT_EQ(Relatives(base, "r/*.none"), "");
    EXPECT_EQ(Relatives(base, "gone/*.txt"), "");
}

TEST_F(GlobFiles, AMatchNamesTheFileOnThisMachine) {
    const auto found = Glob::Expand(dir.Path().string(), "r/sub/**/d.txt");
    ASSERT_EQ(found.Matches.size(), 1u);
    EXPECT_EQ(found.Matches[0].Relative, "deep/d.txt");
    EXPECT_TRUE(std::filesystem::exists(found.Matches[0].Path)) << found.Matches[0].Path;
    // An absolute pattern ignores the base folder.
    const auto absolute = Glob::Expand("/nowhere", (dir.Path() / "r" / "*.txt").string());
    EXPECT_EQ(absolute.Matches.size(), 2u);
}

TEST_F(GlobFiles, AFolderLinkBackIntoTheWalkIsNotFollowedWithAWarning) {
    // Once such a link packed its folder's files 41 times over; two of them never ended.
    std::filesystem::create_directory_symlink(dir.Path() / "r", dir.Path() / "r" / "sub" / "loop");
    std::filesystem::create_directory_symlink(dir.Path() / "r" / "sub", dir.Path() / "r" / "sub" / "deep" / "up");
    std::filesystem::create_directory_symlink(".", dir.Path() / "r" / "sub" / "deep" / "self");
    const auto found = Glob::Expand(dir.Path().string(), "r/**/*.txt");
    EXPECT_EQ(found.Problem, "");
    EXPECT_EQ(Relatives(dir.Path().string(), "r/**/*.txt"), "A.txt b.txt sub/c.txt sub/deep/d.txt ");
    ASSERT_EQ(found.Warnings.size(), 3u);
    EXPECT_NE(found.Warnings[0].find("r/sub/deep/self\" leads back to \"" + (dir.Path() / "r/sub/deep").string()),
              std::string::npos) << found.Warnings[0];
    // A link elsewhere is followed as before.
    std::filesystem::create_directories(dir.Path() / "other");
    WriteFileBytes(dir.Path() / "other" / "o.txt", {});
    std::filesystem::create_directory_symlink(dir.Path() / "other", dir.Path() / "r" / "other");
    EXPECT_EQ(Relatives(dir.Path().string(), "r/*/*.txt"), "other/o.txt sub/c.txt ");
}

TEST(GlobAnchor, RelativePathsGoBelowTheBaseAndAbsoluteOnesStay) {
    EXPECT_EQ(Glob::Anchor("/pkg", "a/b.txt"), "/pkg/a/b.txt");
    EXPECT_EQ(Glob::Anchor("/pkg/", "b.txt"), "/pkg/b.txt");
    EXPECT_EQ(Glob::Anchor("", "b.txt"), "b.txt");
    EXPECT_EQ(Glob::Anchor("/pkg", "/abs/b.txt"), "/abs/b.txt");
    EXPECT_EQ(Glob::Anchor("/pkg", "C:\\abs\\b.txt"), "C:\\abs\\b.txt");
}

}  // namespace
