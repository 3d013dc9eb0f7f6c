#include "package/CompressedReading.h"
#include "tools/examine/PackageListing.h"

#include <gtest/gtest.h>

#include "package/PackageReader.h"

#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "package/PackageWriter.h"
#include "tests/support/TestFiles.h"
#include "tools/platform/Crc32.h"

using namespace RecordHead;

namespace {

constexpr std::size_t kReservedFromEnd = 552 - 516;

// A package as the tool builds it: checksum in Reserved.
Bytes Checksummed(Bytes bytes) {
    MemorySource source(bytes);
    const std::uint32_t crc = PackageChecksum(source);
    std::memcpy(bytes.data() + bytes.size() - kReservedFromEnd, &crc, 4);  // little-endian hosts only
    return bytes;
}

Bytes Sample() {
    return Checksummed(PackageBuilder()
                           .App("Demo")
                           .Stub(PatternBytes(4000))
                           .File("a.bin", "InstallDir", "", PatternBytes(300, 4))
                           .File("Uninstall.exe", "InstallDir", "", PatternBytes(50, 5))
                           .Dir("InstallDir", "")
                           .Shell(skAddItem, "InstallDir", "", "a.bin", "A")
                           .Shell(9, "", "", "", "")
                           .Reg(0x80000001u, "Software\\Demo", "Path", "{InstallDir}")
                           .Build());
}

TPackHeader TrailerOf(const Bytes& bytes) {
    TPackHeader h;
    std::memcpy(&h, bytes.data() + bytes.size() - sizeof h, sizeof h);
    return h;
}

void SetTrailer(Bytes& bytes, const TPackHeader& h) { std::memcpy(bytes.data() + bytes.size() - sizeof h, &h, sizeof h); }

TVerifyReport Verify(const Bytes& bytes) {
    MemorySource source(bytes);
    return VerifyPackage(source);
}

std::string Joined(const TVerifyReport& r) {
    std::string text;
    for (const auto& p : r.Problems) text += p + "\n";
    return text;
}

TEST(PackageChecksum, TakesReservedAsZero) {
    Bytes bytes = Sample();
    MemorySource a(bytes);
    const std::uint32_t before = PackageChecksum(a);
    std::memset(bytes.data() + bytes.size() - kReservedFromEnd, 0, 4);
    MemorySource b(bytes);
    EXPECT_EQ(PackageChecksum(b), before);
    TCrc32 plain;
    plain.Update(bytes.data(), bytes.size());
    EXPECT_EQ(plain.Value(), before);
}

TEST(Verify, AcceptsAWholePackage) {
    const TVerifyReport r = Verify(Sample());
    EXPECT_TRUE(r.Ok()) << Joined(r);
    EXPECT_NE(r.Summary.find("2 files, 1 folder, 2 shell items, 1 registry value"), std::string::npos) << r.Summary;
    EXPECT_NE(r.Summary.find("matches"), std::string::npos) << r.Summary;
}

TEST(Verify, FindsACorruptedByteAnywhere) {
    const Bytes good = Sample();
    for (std::size_t at : {std::size_t(0), std::size_t(4100), good.size() - 600, good.size() - 20}) {
        Bytes bad = good;
        bad[at] ^= 0x01;
        const TVerifyReport r = Verify(bad);
        EXPECT_FALSE(r.Ok()) << at;
        EXPECT_NE(Joined(r).find("checksum mismatch"), std::string::npos) << at << ": " << Joined(r);
    }
}

TEST(Verify, TruncatedFileHasNoTrailer) {
    Bytes bytes = Sample();
    bytes.resize(bytes.size() - 1);
    EXPECT_NE(Joined(Verify(bytes)).find("no package trailer"), std::string::npos);
    EXPECT_NE(Joined(Verify(Bytes(100, 0))).find("too short"), std::string::npos);
}

// A header whose tables do not fit: each problem named, and no checksum
// complaint about a checksum that is right.
struct TBadTables {
    const char* Name;
    void (*Damage)(TPackHeader& h, std::size_t fileSize);
    std::vector<std::string> Named;
};

class VerifyTables : public ::testing::TestWithParam<TBadTables> {};

TEST_P(VerifyTables, NamesEachProblem) {
    Bytes bytes = Sample();
    TPackHeader h = TrailerOf(bytes);
    GetParam().Damage(h, bytes.size());
    SetTrailer(bytes, h);
    const std::string problems = Joined(Verify(Checksummed(bytes)));
    for (const std::string& part : GetParam().Named) EXPECT_NE(problems.find(part), std::string::npos) << problems;
    EXPECT_EQ(problems.find("checksum"), std::string::npos) << problems;
}

INSTANTIATE_TEST_SUITE_P(
    Verify, VerifyTables,
    ::testing::Values(
        TBadTables{"TableOutsideTheFile",
                   [](TPackHeader& h, std::size_t size) { h.ShellOffset.Set(static_cast<std::uint32_t>(size - 1000)); },
                   {"the shell-item table (2 records of 1025 bytes", "reaches past the end of the file"}},
        TBadTables{"NegativeCountAndTableInTheTrailer",
                   [](TPackHeader& h, std::size_t size) {
                       h.DirCount.Set(-1);
                       h.RegOffset.Set(static_cast<std::uint32_t>(size - 552 - 1668 + 100));
                   },
                   {"negative count (-1)", "the registry table (1 record of 1668 bytes", "runs into the trailer"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Verify, FileDataOutsideTheFileIsNamed) {
    Bytes bytes = Sample();
    const TPackHeader h = TrailerOf(bytes);
    TFileItem item;
    std::memcpy(&item, bytes.data() + h.FileOffset.Get() + 776, sizeof item);
    item.Offset.Set(static_cast<std::uint32_t>(bytes.size() - 10));
    std::memcpy(bytes.data() + h.FileOffset.Get() + 776, &item, sizeof item);
    const std::string problems = Joined(Verify(Checksummed(bytes)));
    EXPECT_NE(problems.find("file 1 \"Uninstall.exe\" (50 bytes at offset"), std::string::npos) << problems;
}

TEST(Verify, UninstallDataFileHasNoChecksumAndIsAccepted) {
    PackageTables tables;
    tables.Files.push_back(MakeFileItem("a.bin", "InstallDir", "", 999999, 10));  // data in the setup executable
    tables.Dirs.push_back(MakeDirItem("InstallDir", ""));
    MemorySink sink;
    WriteUninstallData(sink, "Demo", tables.View());
    const TVerifyReport r = Verify(sink.Bytes());
    EXPECT_TRUE(r.Ok()) << Joined(r);
    EXPECT_NE(r.Summary.find("no checksum"), std::string::npos) << r.Summary;
    EXPECT_NE(r.Summary.find("uninstall data file"), std::string::npos) << r.Summary;
}

TEST(List, JsonNamesKindsAndRootsAndEscapes) {
    const Bytes bytes = PackageBuilder()
                            .App("Caf\xE9 \"q\"")
                            .Shell(skScreenSaver, "System32Dir", "", "s.scr", "")
                            .Shell(9, "", "", "", "")
                            .Reg(0x80000002u, "K", "N", "a\\b")
                            .Reg(0x12345678u, "K", "N", "")
                            .Build();
    MemorySource source(bytes);
    const std::optional<TPackageContents> packageRead = ReadPackage(source, kFullReading);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    const std::string json = ListJson("p.exe", bytes.size(), package);
    EXPECT_NE(json.find("\"AppName\": \"Caf\xC3\xA9 \\\"q\\\"\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"KindName\": \"skScreenSaver\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"Kind\": 9,\n      \"KindName\": \"unknown\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"RootName\": \"HKEY_LOCAL_MACHINE\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"RootKey\": 305419896,\n      \"RootName\": \"\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"ValueData\": \"a\\\\b\""), std::string::npos) << json;
    const std::string text = ListText("p.exe", bytes.size(), package);
    EXPECT_NE(text.find("HKEY_LOCAL_MACHINE"), std::string::npos) << text;
    EXPECT_NE(text.find("0x12345678"), std::string::npos) << text;
    EXPECT_NE(text.find("3 skScreenSaver"), std::string::npos) << text;
}

TEST(List, JsonReadsBackToEveryFieldOfTheRecords) {
    const Bytes bytes = Sample();
    MemorySource source(bytes);
    const std::optional<TPackageContents> packageRead = ReadPackage(source, kFullReading);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    const TPackHeader h = TrailerOf(bytes);
    const nlohmann::json json = nlohmann::json::parse(ListJson("dir/p.exe", bytes.size(), package));

    EXPECT_EQ(json["File"], "dir/p.exe");
    EXPECT_EQ(json["FileSize"], bytes.size());
    EXPECT_EQ(json["Header"]["AppName"], "Demo");
    EXPECT_EQ(json["Header"]["Reserved"], h.Reserved.Get());
    EXPECT_EQ(json["Header"]["FileOffset"], h.FileOffset.Get());
    EXPECT_EQ(json["Header"]["DirCount"], 1);
    ASSERT_EQ(json["Files"].size(), 2u);
    EXPECT_EQ(json["Files"][1]["FileName"], "Uninstall.exe");
    EXPECT_EQ(json["Files"][1]["Offset"], 4000 + 300);
    EXPECT_EQ(json["Files"][1]["Size"], 50);
    EXPECT_EQ(json["Dirs"][0]["BaseDir"], "InstallDir");
    EXPECT_EQ(json["ShellItems"][0]["KindName"], "skAddItem");
    EXPECT_EQ(json["ShellItems"][0]["Caption"], "A");
    EXPECT_EQ(json["RegItems"][0]["RootName"], "HKEY_CURRENT_USER");
    EXPECT_EQ(json["RegItems"][0]["ValueData"], "{InstallDir}");

    // Keys come in the records' own order, for people reading the output.
    const auto ordered = nlohmann::ordered_json::parse(ListJson("p", 0, package));
    std::string keys;
    for (const auto& item : ordered["Files"][0].items()) keys += item.key() + " ";
    EXPECT_EQ(keys, "FileName BaseDir SubDir Offset Size ");
}

TEST(List, JsonLayoutIsTwoSpacesALevelAndEscapesControlCharacters) {
    const Bytes bytes = PackageBuilder().App("A\x01\tB\x7F").Dir("InstallDir", "").Build();
    MemorySource source(bytes);
    const std::optional<TPackageContents> packageRead = ReadPackage(source, kFullReading);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    const TPackHeader h = TrailerOf(bytes);
    const std::string expected = "{\n"
                                 "  \"File\": \"p.exe\",\n"
                                 "  \"FileSize\": " + std::to_string(bytes.size()) + ",\n"
                                 "  \"Header\": {\n"
                                 "    \"Magic\": \"qzx\",\n"
                                 "    \"AppName\": \"A\\u0001\\tB\x7F\",\n"
                                 "    \"Author\": \"\",\n"
                                 "    \"Email\": \"\",\n"
                                 "    \"Website\": \"\",\n"
                                 "    \"Reserved\": 0,\n"
                                 "    \"RegCount\": 0,\n"
                                 "    \"RegOffset\": " + std::to_string(h.RegOffset.Get()) + ",\n"
                                 "    \"FileCount\": 0,\n"
                                 "    \"FileOffset\": " + std::to_string(h.FileOffset.Get()) + ",\n"
                                 "    \"ShellCount\": 0,\n"
                                 "    \"ShellOffset\": " + std::to_string(h.ShellOffset.Get()) + ",\n"
                                 "    \"DirCount\": 1,\n"
                                 "    \"DirOffset\": " + std::to_string(h.DirOffset.Get()) + "\n"
                                 "  },\n"
                                 "  \"Files\": [],\n"
                                 "  \"Dirs\": [\n"
                                 "    {\n"
                                 "      \"BaseDir\": \"InstallDir\",\n"
                                 "      \"SubDir\": \"\"\n"
                                 "    }\n"
                                 "  ],\n"
                                 "  \"ShellItems\": [],\n"
                                 "  \"RegItems\": []\n"
                                 "}\n";
    EXPECT_EQ(ListJson("p.exe", bytes.size(), package), expected);
}

TEST(List, JsonShowsAPathThatIsNotUtf8WithReplacementCharacters) {
    const Bytes bytes = PackageBuilder().App("A").Build();
    MemorySource source(bytes);
    const std::optional<TPackageContents> packageRead = ReadPackage(source, kFullReading);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    const std::string json = ListJson("caf\xE9.exe", bytes.size(), package);
    EXPECT_NE(json.find("\"File\": \"caf\xEF\xBF\xBD.exe\""), std::string::npos) << json;
}

}  // namespace
