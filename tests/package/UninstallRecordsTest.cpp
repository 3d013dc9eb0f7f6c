#include "package/UninstallRecords.h"

#include <gtest/gtest.h>

#include "package/PackageWriter.h"
#include "package/UninstallContract.h"

using namespace RecordHead;

namespace {

std::vector<std::string> Names(const std::vector<TFileItem>& files) {
    std::vector<std::string> names;
    for (const TFileItem& f : files) names.push_back(f.SubDir.Text() + "\\" + f.FileName.Text());
    return names;
}

}  // namespace

TEST(UninstallRecords, MergeKeepsTheFirstAndAddsWhatItLacks) {
    PackageTables v1, v2;
    v1.Files = {MakeFileItem("a.txt", "InstallDir", "", 0, 10), MakeFileItem("b.txt", "InstallDir", "", 10, 5)};
    v1.Dirs = {MakeDirItem("InstallDir", ""), MakeDirItem("InstallDir", "old")};
    v1.RegItems = {MakeRegItem(0x80000001u, "Software\\App", "Path", "{InstallDir}")};
    v1.ShellItems = {MakeShellItem(skCreateGroup, "", "", "", "App")};
    // The same targets in another case and at other offsets, one new of each.
    v2.Files = {MakeFileItem("A.TXT", "InstallDir", "", 99, 1), MakeFileItem("c.txt", "InstallDir", "", 0, 1)};
    v2.Dirs = {MakeDirItem("InstallDir", "")};
    v2.RegItems = {MakeRegItem(0x80000001u, "software\\app", "path", "other"),
                   MakeRegItem(0x80000002u, "Software\\App", "Path", "{InstallDir}")};
    v2.ShellItems = {MakeShellItem(skCreateGroup, "", "", "", "App"), MakeShellItem(skCreateGroup, "", "", "", "App 2")};

    const PackageTables all = MergeRecords(v1.View(), v2.View());
    EXPECT_EQ(Names(all.Files), (std::vector<std::string>{"\\a.txt", "\\b.txt", "\\c.txt"}));
    EXPECT_EQ(all.Files[0].Offset.Get(), 0u);  // the first table's record is kept
    EXPECT_EQ(all.Dirs.size(), 2u);
    ASSERT_EQ(all.RegItems.size(), 2u);  // another root is another value
    EXPECT_EQ(all.RegItems[1].RootKey.Get(), 0x80000002u);
    ASSERT_EQ(all.ShellItems.size(), 2u);
    EXPECT_EQ(all.ShellItems[1].Caption.Text(), "App 2");
    // Parts of a target do not run into each other.
    PackageTables split;
    split.Files = {MakeFileItem("b", "InstallDir", "a", 0, 0)};
    const PackageTables joined{{MakeFileItem("", "InstallDir", "a\\b", 0, 0)}, {}, {}, {}};
    EXPECT_EQ(MergeRecords(split.View(), joined.View()).Files.size(), 2u);
}

TEST(UninstallRecords, TheRequestForQuietUninstallIsExact) {
    using namespace UninstallContract;
    const std::string key = RegistrationKeyOf("Demo App");
    const std::string request(kQuietUninstallRequest), name(kQuietUninstallStringValue);
    auto asks = [](std::vector<TRegItem> items) { return AsksForQuietUninstall(items, "Demo App"); };
    EXPECT_TRUE(asks({MakeRegItem(0x80000002u, key, name, request)}));
    EXPECT_TRUE(asks({MakeRegItem(0x80000001u, "x", "y", "z"), MakeRegItem(0x80000002u, "\\" + key, "quietuninstallstring", request)}));
    EXPECT_FALSE(asks({}));
    EXPECT_FALSE(asks({MakeRegItem(0x80000002u, key, name, "{InstallDir}\\unins.exe --quiet")}));
    EXPECT_FALSE(asks({MakeRegItem(0x80000001u, key, name, request)}));
    EXPECT_FALSE(asks({MakeRegItem(0x80000002u, RegistrationKeyOf("Other App"), name, request)}));
    // The author's own command written after the request is the one that stays.
    EXPECT_FALSE(asks({MakeRegItem(0x80000002u, key, name, request), MakeRegItem(0x80000002u, key, name, "own /quiet")}));
}

TEST(UninstallRecords, EstimatedSizeInWholeKiB) {
    EXPECT_EQ(KiBytesOf(0), 0u);
    EXPECT_EQ(KiBytesOf(1), 1u);
    EXPECT_EQ(KiBytesOf(1024), 1u);
    EXPECT_EQ(KiBytesOf(1025), 2u);
    EXPECT_EQ(KiBytesOf(std::uint64_t(1) << 50), 0xFFFFFFFFu);
}
