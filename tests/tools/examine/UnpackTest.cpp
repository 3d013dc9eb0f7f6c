#include "package/CompressedReading.h"
#include "tools/examine/Unpack.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "package/PackageReader.h"
#include "tests/support/TestFiles.h"
#include "tools/examine/SafeFolder.h"

using namespace RecordHead;
namespace fs = std::filesystem;

namespace {

TFileItem Item(const std::string& base, const std::string& sub, const std::string& name, std::uint32_t offset,
               std::uint32_t size) {
    TFileItem item{};
    item.BaseDir.TrySet(base);
    item.SubDir.TrySet(sub);
    item.FileName.TrySet(name);
    item.Offset.Set(offset);
    item.Size.Set(size);
    return item;
}

template <typename T>
void Append(Bytes& out, const T& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    out.insert(out.end(), bytes, bytes + sizeof record);
}

// A package laid out as no writer of ours lays it out: the registry and file
// tables before the file data, the directory table last, and two entries
// with one target.
Bytes ForeignPackage(const Bytes& first, const Bytes& second, const Bytes& other) {
    Bytes out = TextBytes("MZ foreign");
    TPackHeader header{};
    header.Magic.TrySet(PackageMagic);
    header.AppName.TrySet("Foreign");
    TRegItem reg{};
    reg.RootKey.Set(0x80000001u);
    reg.Key.TrySet("Software\\Foreign");
    header.RegCount.Set(1);
    header.RegOffset.Set(static_cast<std::uint32_t>(out.size()));
    Append(out, reg);
    const auto tableAt = static_cast<std::uint32_t>(out.size());
    const auto dataAt = tableAt + 3 * static_cast<std::uint32_t>(sizeof(TFileItem));
    const auto size = [](const Bytes& b) { return static_cast<std::uint32_t>(b.size()); };
    header.FileCount.Set(3);
    header.FileOffset.Set(tableAt);
    Append(out, Item("InstallDir", "data", "same.bin", dataAt, size(first)));
    Append(out, Item("WindowsDir", "", "other.ini", dataAt + size(first) + size(second), size(other)));
    Append(out, Item("InstallDir", "data", "same.bin", dataAt + size(first), size(second)));
    for (const Bytes* data : {&first, &second, &other}) out.insert(out.end(), data->begin(), data->end());
    TDirItem dir{};
    dir.BaseDir.TrySet("InstallDir");
    header.DirCount.Set(1);
    header.DirOffset.Set(static_cast<std::uint32_t>(out.size()));
    Append(out, dir);
    header.ShellOffset.Set(0);
    Append(out, header);
    return out;
}

std::vector<TExtractEntry> PlanOf(const std::vector<TFileItem>& files, unsigned codePage = 1252) {
    return PlanExtraction(files, codePage, 1u << 20);
}

// Every file below `root`, as "a/b/c" paths.
std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory()) found.push_back(fs::relative(entry.path(), root).generic_string());
    std::sort(found.begin(), found.end());
    return found;
}

TEST(Extract, WritesAForeignLayoutByteExactAndTheLaterOfTwoEntriesWins) {
    TempDir dir;
    const Bytes first = PatternBytes(3000, 1), second = PatternBytes(2500000, 2), other = TextBytes("[x]\n");
    const Bytes package = ForeignPackage(first, second, other);
    MemorySource source(package);
    const std::optional<TPackageContents> loadedRead = ReadPackage(source, kFullReading);
    ASSERT_TRUE(loadedRead);
    const TPackageContents& loaded = *loadedRead;

    const auto plan = PlanExtraction(loaded.Tables.Files, 1252, package.size());
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].ReplacedBy, std::optional<std::size_t>(2));
    EXPECT_TRUE(plan[2].Written());
    TSafeFolder folder((dir.Path() / "out").string());
    std::vector<std::uint64_t> progress;
    const TExtractResult result =
        ExtractFiles(plan, source, folder, [&](std::uint64_t done, std::uint64_t) { progress.push_back(done); });
    EXPECT_TRUE(result.Failures.empty());
    EXPECT_EQ(result.Written, 2u);
    EXPECT_EQ(FilesBelow(dir.Path() / "out"),
              (std::vector<std::string>{"InstallDir/data/same.bin", "WindowsDir/other.ini"}));
    EXPECT_EQ(ReadFileBytes(dir.Path() / "out/InstallDir/data/same.bin"), second);
    EXPECT_EQ(ReadFileBytes(dir.Path() / "out/WindowsDir/other.ini"), other);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), second.size() + other.size());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST(Extract, RefusesEveryNameThatCouldLeaveTheFolder) {
    const std::vector<TFileItem> files = {
        Item("InstallDir", "..", "up.txt", 0, 1),
        Item("InstallDir", "a\\..\\..", "up.txt", 0, 1),
        Item("InstallDir", "", "..\\up.txt", 0, 1),
        Item("InstallDir", "\\\\server\\share", "unc.txt", 0, 1),
        Item("InstallDir", "\\etc", "abs.txt", 0, 1),
        Item("InstallDir", "C:\\Windows", "drive.txt", 0, 1),
        Item("InstallDir", "", "C:evil.txt", 0, 1),
        Item("InstallDir", "../..", "slash.txt", 0, 1),
        Item("InstallDir", "", "/etc/passwd", 0, 1),
        Item("installdir", "", "case.txt", 0, 1),
        Item("..", "", "base.txt", 0, 1),
        Item("", "", "nobase.txt", 0, 1),
        Item("InstallDir", "", "", 0, 1),
        Item("InstallDir", "sub\\", "", 0, 1),
        Item("InstallDir", "", "a.. ", 0, 1),
        Item("InstallDir", "", "...", 0, 1),
        Item("InstallDir", "", "NUL.txt", 0, 1),
        Item("InstallDir", "", "com1", 0, 1),
        Item("InstallDir", "", "tab\there", 0, 1),
        Item("InstallDir", "", "far.bin", 0xFFFFFF00u, 0x1000),
        Item("InstallDir", "", "safe.txt", 0, 1),
    };
    const auto plan = PlanOf(files);
    for (std::size_t i = 0; i + 1 < plan.size(); ++i) EXPECT_TRUE(plan[i].Refused()) << i << ": " << plan[i].Target();
    EXPECT_TRUE(plan.back().Written()) << plan.back().Problem;
    EXPECT_EQ(plan.back().Target(), "InstallDir/safe.txt");
    EXPECT_NE(plan[1].Name.find("a\\..\\.."), std::string::npos);
}

TEST(Extract, RefusesEveryNameWindowsTakesForADevice) {
    // "\xB2" and "\xB9" are the superscripts two and one in Windows-1252.
    const std::vector<std::string> devices = {"CON .txt", "CONIN$", "conout$.txt", "CLOCK$", "lpt\xB2", "Com\xB9.log",
                                              "aux  .x.y", "PRN", "nul.txt", "COM0"};
    const std::vector<std::string> names = {"CONSOLE.txt", "com10", "lpt", "clock.txt", "conin", "lpt\xB4", "x.con"};
    std::vector<TFileItem> files;
    for (const std::string& name : devices) files.push_back(Item("InstallDir", "", name, 0, 1));
    for (const std::string& name : names) files.push_back(Item("InstallDir", "", name, 0, 1));
    files.push_back(Item("InstallDir", "CON .d", "in-a-device.txt", 0, 1));
    const auto plan = PlanOf(files);
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const bool device = i < devices.size() || i + 1 == plan.size();
        EXPECT_EQ(plan[i].Problem.find("names a device on Windows") != std::string::npos, device)
            << plan[i].Name << ": " << plan[i].Problem;
    }
}

TEST(Extract, KeepsHarmlessNamesAndUnitesCaseVariantsAsWindowsDoes) {
    const auto plan = PlanOf({
        Item("InstallDir", "Data\\\\img", "a.bmp", 0, 1),  // a doubled separator is one
        Item("InstallDir", "DATA\\IMG", "A.BMP", 0, 1),
        Item("InstallDir", "data", "readme..txt", 0, 1),
    });
    ASSERT_TRUE(plan[0].Written() || plan[0].ReplacedBy) << plan[0].Problem;
    EXPECT_EQ(plan[0].ReplacedBy, std::optional<std::size_t>(1));
    EXPECT_EQ(plan[1].Target(), "InstallDir/Data/img/a.bmp");
    EXPECT_EQ(plan[2].Target(), "InstallDir/Data/readme..txt");
}

TEST(Extract, SplitsDoubleByteNamesOnlyAtRealBackslashes) {
    // "表" is 0x95 0x5C in Shift-JIS: its second byte is no separator.
    const auto plan = PlanOf({Item("InstallDir", "\x95\x5C\\\x83\x5C", "\x95\x5C.txt", 0, 1)}, 932);
    ASSERT_FALSE(plan[0].Refused()) << plan[0].Problem;
    EXPECT_EQ(plan[0].Target(), "InstallDir/\xE8\xA1\xA8/\xE3\x82\xBD/\xE8\xA1\xA8.txt");
    // In Windows-1252 the same 0x5C is a backslash, and the ".." after it leaves.
    const auto western = PlanOf({Item("InstallDir", "\x95\x5C..", "x", 0, 1)}, 1252);
    EXPECT_TRUE(western[0].Refused());
    // A lead byte with nothing after it is no character.
    EXPECT_TRUE(PlanOf({Item("InstallDir", "", "a\x95", 0, 1)}, 932)[0].Refused());
}

class SafeFolderTest : public ::testing::Test {
protected:
    void Write(const std::vector<std::string>& folders, const std::string& name, const std::string& text) {
        TSafeFolder folder(root.string());
        folder.WriteFile(folders, name, [&](const TSafeFolder::TSink& write) { write(text.data(), text.size()); });
    }
    TempDir dir;
    fs::path root = dir.Path() / "out";
    fs::path outside = dir.Path() / "outside";
};

TEST_F(SafeFolderTest, NeverWritesThroughALinkAndKeepsNoTemporaryFile) {
    fs::create_directories(root);
    fs::create_directories(outside);
    WriteFileBytes(outside / "victim.txt", TextBytes("keep"));
    fs::create_directory_symlink(outside, root / "InstallDir");
    try {
        Write({"InstallDir"}, "victim.txt", "evil");
        ADD_FAILURE() << "wrote through a folder link";
    } catch (const ESafeFolder& e) {
        EXPECT_STREQ(e.what(), "\"InstallDir\" is a link; links are not followed");
    }
    fs::remove(root / "InstallDir");
    fs::create_directories(root / "InstallDir");
    fs::create_symlink(outside / "victim.txt", root / "InstallDir" / "link.txt");
    Write({"InstallDir"}, "link.txt", "new");  // the link is replaced, not followed
    EXPECT_EQ(ReadFileBytes(outside / "victim.txt"), TextBytes("keep"));
    EXPECT_FALSE(fs::is_symlink(root / "InstallDir" / "link.txt"));
    EXPECT_EQ(ReadFileBytes(root / "InstallDir" / "link.txt"), TextBytes("new"));
    EXPECT_EQ(FilesBelow(outside), std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(FilesBelow(root), std::vector<std::string>{"InstallDir/link.txt"});
}

TEST_F(SafeFolderTest, ReportsAFileOrFolderInTheWayAndWritesTheOthers) {
    Write({"InstallDir"}, "data", "a file where a folder is wanted");
    EXPECT_THROW(Write({"InstallDir", "data"}, "x.txt", "x"), ESafeFolder);
    Write({"InstallDir", "folder", "deep"}, "x.txt", "x");
    EXPECT_THROW(Write({"InstallDir"}, "folder", "y"), ESafeFolder);
    EXPECT_EQ(FilesBelow(root), (std::vector<std::string>{"InstallDir/data", "InstallDir/folder/deep/x.txt"}));
}

TEST_F(SafeFolderTest, ExtractCarriesOnAfterAnEntryThatCannotBeWritten) {
    fs::create_directories(root / "InstallDir");
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, root / "InstallDir" / "bad");
    const Bytes data = TextBytes("0123456789");
    MemorySource source(data);
    const auto plan = PlanExtraction({Item("InstallDir", "bad", "x.txt", 0, 4), Item("InstallDir", "", "ok.txt", 4, 6)},
                                     1252, data.size());
    TSafeFolder folder(root.string());
    const TExtractResult result = ExtractFiles(plan, source, folder);
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_NE(result.Failures[0].find("entry 0 \"InstallDir\\bad\\x.txt\""), std::string::npos) << result.Failures[0];
    EXPECT_EQ(ReadFileBytes(root / "InstallDir" / "ok.txt"), TextBytes("456789"));
    EXPECT_TRUE(fs::is_empty(outside));
}

}  // namespace
