// Opening packages from real files; runs natively and under Wine.
#include <gtest/gtest.h>

#include <cstring>

#include "package/CompressedReading.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "tests/support/TestFiles.h"

using namespace RecordHead;

namespace {

// Raw bytes: `payload` followed by `header`.
Bytes WithTrailer(Bytes payload, const TPackHeader& header) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&header);
    payload.insert(payload.end(), raw, raw + sizeof header);
    return payload;
}

template <typename Record>
void Append(Bytes& bytes, const Record& record) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
    bytes.insert(bytes.end(), raw, raw + sizeof record);
}

class OpenPackage : public ::testing::Test {
protected:
    std::string Write(const Bytes& bytes, const std::string& name = "package.exe") {
        const std::string path = dir.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }

    TempDir dir;
    TVazuravAzoz pack;
};

}  // namespace

TEST_F(OpenPackage, LoadsAllFourTablesTextsAndTotalSteps) {
    const auto path = Write(PackageBuilder()
                                .App("Demo", "Ann Author", "ann@example.com", "https://example.com/demo")
                                .Stub(PatternBytes(4096))
                                .File("demo.exe", "InstallDir", "", PatternBytes(300))
                                .File("demo.ini", "WindowsDir", "", TextBytes("[demo]"))
                                .Dir("InstallDir", "")
                                .Dir("InstallDir", "data")
                                .Shell(skCreateGroup, "", "", "", "Demo")
                                .Reg(0x80000001u, "Software\\Demo", "Path", "{InstallDir}")
                                .Reg(0x80000002u, "Software\\Demo", "Version", "1.0")
                                .Reg(0x80000002u, "Software\\Demo", "Lang", "en")
                                .Build());
    ASSERT_TRUE(pack.OpenPackage(path, kFullReading));
    EXPECT_EQ(pack.GetTotalSteps(), 2 + 2 + 1 + 3) << "registry records count too";
    EXPECT_EQ(pack.GetAppName(), "Demo");
    EXPECT_EQ(pack.GetAuthor(), "Ann Author");
    EXPECT_EQ(pack.GetEmail(), "ann@example.com");
    EXPECT_EQ(pack.GetWebsite(), "https://example.com/demo");
    ASSERT_EQ(pack.GetFiles().size(), 2u);
    EXPECT_EQ(pack.GetFiles()[1].FileName.Text(), "demo.ini");
    EXPECT_EQ(pack.GetFiles()[0].Offset.Get(), 4096u);
    EXPECT_EQ(pack.GetFiles()[0].Size.Get(), 300u);
    ASSERT_EQ(pack.GetDirs().size(), 2u);
    EXPECT_EQ(pack.GetDirs()[1].SubDir.Text(), "data");
    ASSERT_EQ(pack.GetShellItems().size(), 1u);
    EXPECT_EQ(pack.GetShellItems()[0].Caption.Text(), "Demo");
    ASSERT_EQ(pack.GetRegItems().size(), 3u);
    EXPECT_EQ(pack.GetRegItems()[0].RootKey.Get(), 0x80000001u);
    EXPECT_EQ(pack.GetRegItems()[2].ValueData.Text(), "en");
    EXPECT_EQ(pack.GetPackageFile(), path);
}

TEST_F(OpenPackage, EmptyPackageOpensWithZeroSteps) {
    ASSERT_TRUE(pack.OpenPackage(Write(PackageBuilder().App("Empty").Build()), kFullReading));
    EXPECT_EQ(pack.GetTotalSteps(), 0);
    EXPECT_TRUE(pack.GetFiles().empty() && pack.GetDirs().empty());
    EXPECT_TRUE(pack.GetShellItems().empty() && pack.GetRegItems().empty());
}

TEST_F(OpenPackage, FullWidthTextFieldsComeBackWhole) {
    const std::string name(256, 'N'), author(64, 'a'), website(128, 'w');
    ASSERT_TRUE(pack.OpenPackage(Write(PackageBuilder().App(name, author, std::string(64, 'e'), website).Build()), kFullReading));
    EXPECT_EQ(pack.GetAppName(), name);
    EXPECT_EQ(pack.GetAuthor(), author);
    EXPECT_EQ(pack.GetEmail(), std::string(64, 'e'));
    EXPECT_EQ(pack.GetWebsite(), website);
}

TEST_F(OpenPackage, FileWithoutTrailerIsNoPackageAndKeepsTheName) {
    const auto path = Write(PatternBytes(5000));
    EXPECT_FALSE(pack.OpenPackage(path, kFullReading));
    EXPECT_EQ(pack.GetPackageFile(), path);
    EXPECT_EQ(pack.GetTotalSteps(), 0);
}

TEST_F(OpenPackage, MagicMustBeQzxAndNul) {
    TPackHeader header = MakeHeader("x");
    header.Magic.bytes[3] = 'A';
    EXPECT_FALSE(pack.OpenPackage(Write(WithTrailer({}, header)), kFullReading));
    header.Magic.bytes = {'Q', 'z', 'x', 0};
    EXPECT_FALSE(pack.OpenPackage(Write(WithTrailer({}, header)), kFullReading));
}

TEST_F(OpenPackage, EmptyTablesAreNotReadWhateverTheirOffsets) {
    TPackHeader header = MakeHeader("x");
    header.FileOffset.Set(0xFFFFFFF0u);
    header.RegOffset.Set(0x7FFFFFFFu);
    ASSERT_TRUE(pack.OpenPackage(Write(WithTrailer({}, header)), kFullReading));
    EXPECT_EQ(pack.GetTotalSteps(), 0);
}

TEST_F(OpenPackage, TablesMayBeAnywhereInAnyOrderAndShareAnOffset) {
    Bytes bytes(10, 0);
    const TRegItem reg = MakeRegItem(0x80000001u, "k", "v", "d");
    const TDirItem dirItem = MakeDirItem("InstallDir", "sub");
    Append(bytes, reg);      // registry first, at 10
    Append(bytes, dirItem);  // then a directory, at 1678
    TPackHeader header = MakeHeader("x");
    header.RegCount.Set(1);
    header.RegOffset.Set(10);
    header.DirCount.Set(1);
    header.DirOffset.Set(1678);
    header.ShellOffset.Set(1678);  // empty table sharing the directory table's offset
    ASSERT_TRUE(pack.OpenPackage(Write(WithTrailer(bytes, header)), kFullReading));
    ASSERT_EQ(pack.GetDirs().size(), 1u);
    EXPECT_EQ(pack.GetDirs()[0].SubDir.Text(), "sub");
    ASSERT_EQ(pack.GetRegItems().size(), 1u);
    EXPECT_EQ(std::memcmp(&pack.GetRegItems()[0], &reg, sizeof reg), 0);
}

TEST_F(OpenPackage, TableBeyondTheEndRaisesReadErrorKeepingEarlierTables) {
    Bytes bytes;
    Append(bytes, MakeFileItem("a", "InstallDir", "", 0, 0));
    TPackHeader header = MakeHeader("x");
    header.FileCount.Set(1);
    header.FileOffset.Set(0);
    header.DirCount.Set(2);
    header.DirOffset.Set(static_cast<std::uint32_t>(bytes.size() + 552 - 512));  // second record passes the end
    try {
        pack.OpenPackage(Write(WithTrailer(bytes, header)), kFullReading);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
        EXPECT_STREQ(e.TypeName(), "EReadError");
    }
    EXPECT_EQ(pack.GetFiles().size(), 1u);
    EXPECT_EQ(pack.GetTotalSteps(), 3) << "the partial sum up to the failing table";
}

TEST_F(OpenPackage, HugeCountsRaiseReadErrorWithoutAllocating) {
    TPackHeader header = MakeHeader("x");
    header.RegCount.Set(0x7FFFFFFF);
    EXPECT_THROW(pack.OpenPackage(Write(WithTrailer({}, header)), kFullReading), EReadError);
    header = MakeHeader("x");
    header.FileCount.Set(0x7FFFFFFF);
    header.FileOffset.Set(0xFFFFFFFFu);
    // A file once opened stays held against writers: the next case is another file.
    EXPECT_THROW(pack.OpenPackage(Write(WithTrailer({}, header), "files.exe"), kFullReading), EReadError);
}

TEST_F(OpenPackage, NegativeCountRaisesRangeError) {
    TPackHeader header = MakeHeader("x");
    header.ShellCount.Set(-1);
    try {
        pack.OpenPackage(Write(WithTrailer({}, header)), kFullReading);
        FAIL() << "no error";
    } catch (const ERangeError& e) {
        EXPECT_EQ(e.Message(), "Range check error");
    }
}

TEST_F(OpenPackage, FileShorterThanTheTrailerRaisesReadError) {
    EXPECT_THROW(pack.OpenPackage(Write(PatternBytes(551)), kFullReading), EReadError);
    EXPECT_THROW(pack.OpenPackage(Write({}, "empty.exe"), kFullReading), EReadError);
}

TEST_F(OpenPackage, MissingFileRaisesOpenErrorWithPathAndSystemText) {
    const std::string path = dir.File("missing.exe");
    try {
        pack.OpenPackage(path, kFullReading);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        const std::string prefix = "Cannot open file \"" + path + "\". ";
        ASSERT_EQ(e.Message().compare(0, prefix.size(), prefix), 0) << e.Message();
        const std::string systemText = e.Message().substr(prefix.size());
        EXPECT_FALSE(systemText.empty());
        EXPECT_NE(systemText.back(), '.');
        EXPECT_NE(systemText.back(), '\n');
    }
    EXPECT_EQ(pack.GetPackageFile(), path) << "the name is stored before anything can fail";
}

// The records of an earlier install: only a readable data file of the same
// application counts, and nothing it holds can make the lookup raise.
TEST_F(OpenPackage, RecordsOfAnEarlierInstallAreThoseOfTheSameApplication) {
    const TFileItem file = MakeFileItem("a.txt", "InstallDir", "", 0, 1);
    const TRegItem reg = MakeRegItem(1, "Software\\Demo", "Path", "x");
    MemorySink sink;
    WriteUninstallData(sink, "Demo", {std::span(&file, 1), {}, {}, std::span(&reg, 1)});
    const std::string data = Write(sink.Bytes(), "data.dat");

    const auto same = ReadRecordsOf(data, "Demo");
    ASSERT_TRUE(same);
    ASSERT_EQ(same->Tables.Files.size(), 1u);
    EXPECT_EQ(same->Tables.Files[0].FileName.Text(), "a.txt");
    ASSERT_EQ(same->Tables.RegItems.size(), 1u);
    EXPECT_TRUE(same->Tables.Dirs.empty());
    EXPECT_FALSE(ReadRecordsOf(data, "Other"));
    EXPECT_FALSE(ReadRecordsOf(dir.File("missing.dat"), "Demo"));
    Bytes cut = sink.Bytes();
    cut.erase(cut.begin(), cut.begin() + 2000);  // the registry table now reaches past the end
    EXPECT_FALSE(ReadRecordsOf(Write(cut, "cut.dat"), "Demo"));
}
