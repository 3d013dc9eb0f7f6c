#include "tools/PackageReport.h"

#include <gtest/gtest.h>

#include <cstring>

#include "package/PackageWriter.h"
#include "tests/support/TestFiles.h"
#include "tools/AnsiText.h"
#include "tools/Crc32.h"
#include "tools/Glob.h"

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

TEST(Crc32, MatchesTheStandardCheckValue) {
    TCrc32 crc;
    crc.Update("123456789", 9);
    EXPECT_EQ(crc.Value(), 0xCBF43926u);
    // Split updates of every length agree with one update.
    const Bytes data = PatternBytes(1000, 3);
    TCrc32 whole;
    whole.Update(data.data(), data.size());
    for (std::size_t cut : {1u, 7u, 8u, 9u, 999u}) {
        TCrc32 parts;
        parts.Update(data.data(), cut);
        parts.Update(data.data() + cut, data.size() - cut);
        EXPECT_EQ(parts.Value(), whole.Value()) << cut;
    }
}

TEST(Crc32, FastPathAgreesWithTheTableAtEveryLengthAndAlignment) {
    const Bytes data = PatternBytes(3000, 11);
    for (std::size_t offset = 0; offset < 17; ++offset)
        for (std::size_t n = 0; n + offset <= data.size(); n += n < 300 ? 1 : 89) {
            TCrc32 crc;
            crc.Update(data.data() + offset, n);
            ASSERT_EQ(crc.Value(), Crc32ByTable(data.data() + offset, n)) << offset << " " << n;
        }
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

TEST(Verify, TableOutsideTheFileIsNamed) {
    Bytes bytes = Sample();
    TPackHeader h = TrailerOf(bytes);
    h.ShellOffset.Set(static_cast<std::uint32_t>(bytes.size() - 1000));
    SetTrailer(bytes, h);
    const std::string problems = Joined(Verify(Checksummed(bytes)));
    EXPECT_NE(problems.find("the shell-item table (2 records of 1025 bytes"), std::string::npos) << problems;
    EXPECT_NE(problems.find("reaches past the end of the file"), std::string::npos) << problems;
    EXPECT_EQ(problems.find("checksum"), std::string::npos) << problems;
}

TEST(Verify, NegativeCountAndTableInTheTrailer) {
    Bytes bytes = Sample();
    TPackHeader h = TrailerOf(bytes);
    h.DirCount.Set(-1);
    h.RegOffset.Set(static_cast<std::uint32_t>(bytes.size() - 552 - 1668 + 100));
    SetTrailer(bytes, h);
    const std::string problems = Joined(Verify(Checksummed(bytes)));
    EXPECT_NE(problems.find("negative count (-1)"), std::string::npos) << problems;
    EXPECT_NE(problems.find("the registry table (1 record of 1668 bytes"), std::string::npos) << problems;
    EXPECT_NE(problems.find("runs into the trailer"), std::string::npos) << problems;
}

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
    TVazuravAzoz package;
    ASSERT_TRUE(package.LoadPackage(source));
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

TEST(AnsiText, ConvertsBothWaysAndRefusesTheRest) {
    EXPECT_EQ(AnsiText::FromUtf8("Caf\xC3\xA9 \xE2\x82\xAC").Text, "Caf\xE9 \x80");
    EXPECT_EQ(AnsiText::ToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    const auto cjk = AnsiText::FromUtf8("\xE4\xB8\xAD");
    ASSERT_TRUE(cjk.Bad.has_value());
    EXPECT_EQ(AnsiText::CodePointName(*cjk.Bad), "U+4E2D");
    EXPECT_TRUE(AnsiText::FromUtf8("\xC3").InvalidUtf8);
    EXPECT_TRUE(AnsiText::FromUtf8("\xC0\x80").InvalidUtf8);  // overlong
    for (int b = 0x20; b < 0x100; ++b) {
        const std::string one(1, static_cast<char>(b));
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
        EXPECT_EQ(AnsiText::FromUtf8(AnsiText::ToUtf8(one)).Text, one) << b;
    }
}

TEST(Glob, MatchesNames) {
    EXPECT_TRUE(Glob::MatchName("*.txt", "a.txt"));
    EXPECT_TRUE(Glob::MatchName("*", ".hidden"));
    EXPECT_TRUE(Glob::MatchName("a*b*c", "abbbc"));
    EXPECT_TRUE(Glob::MatchName("?.bmp", "x.bmp"));
    EXPECT_FALSE(Glob::MatchName("?.bmp", "xy.bmp"));
    EXPECT_FALSE(Glob::MatchName("*.txt", "a.TXT"));
    EXPECT_FALSE(Glob::MatchName("a*b", "acbd"));
}

TEST(Glob, ExpandsRecursivelyInByteOrder) {
    TempDir dir;
    for (const char* f : {"r/b.txt", "r/A.txt", "r/sub/c.txt", "r/sub/deep/d.txt", "r/sub/e.bin"}) {
        std::filesystem::create_directories((dir.Path() / f).parent_path());
        WriteFileBytes(dir.Path() / f, {});
    }
    auto relatives = [&](const char* pattern) {
        std::string out;
        for (const auto& m : Glob::Expand(dir.Path().string(), pattern).Matches) out += m.Relative + " ";
        return out;
    };
    EXPECT_EQ(relatives("r/*.txt"), "A.txt b.txt ");
    EXPECT_EQ(relatives("r/**/*.txt"), "A.txt b.txt sub/c.txt sub/deep/d.txt ");
    EXPECT_EQ(relatives("r/**"), "A.txt b.txt sub/c.txt sub/deep/d.txt sub/e.bin ");
    EXPECT_EQ(relatives("r\\s*\\*.bin"), "sub/e.bin ");
}

}  // namespace
