#include "package/PackageWriter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/TestFiles.h"

using namespace RecordHead;

namespace {
TPackHeader TrailerOf(const Bytes& bytes) {
    TPackHeader header;
    std::memcpy(&header, bytes.data() + bytes.size() - sizeof header, sizeof header);
    return header;
}
}  // namespace

TEST(PackageWriter, LaysOutDataThenFilesDirsShellsRegistryThenHeader) {
    const Bytes stub = PatternBytes(100);
    const Bytes a = PatternBytes(10, 2), b = PatternBytes(0), c = PatternBytes(7, 3);
    const Bytes package = PackageBuilder()
                              .App("Demo", "Ann", "ann@example.com", "https://example.com")
                              .Stub(stub)
                              .File("a.bin", "InstallDir", "", a)
                              .File("b.bin", "InstallDir", "", b)
                              .File("c.bin", "WindowsDir", "", c)
                              .Dir("InstallDir", "")
                              .Shell(skCreateGroup, "", "", "", "Demo")
                              .Reg(0x80000001u, "Software\\Demo", "Path", "{InstallDir}")
                              .Build();
    const TPackHeader h = TrailerOf(package);
    EXPECT_EQ(h.FileOffset.Get(), 117u);
    EXPECT_EQ(h.DirOffset.Get(), 117u + 3 * 776);
    EXPECT_EQ(h.ShellOffset.Get(), 117u + 3 * 776 + 512);
    EXPECT_EQ(h.RegOffset.Get(), 117u + 3 * 776 + 512 + 1025);
    EXPECT_EQ(package.size(), 117u + 3 * 776 + 512 + 1025 + 1668 + 552);
    EXPECT_EQ(h.FileCount.Get(), 3);
    EXPECT_EQ(h.DirCount.Get(), 1);
    EXPECT_EQ(h.ShellCount.Get(), 1);
    EXPECT_EQ(h.RegCount.Get(), 1);
    EXPECT_EQ(h.Author.Text(), "Ann");
    EXPECT_EQ(h.Reserved.Get(), 0u);
    TFileItem third;
    std::memcpy(&third, package.data() + h.FileOffset.Get() + 2 * 776, sizeof third);
    EXPECT_EQ(third.Offset.Get(), 110u);
    EXPECT_EQ(third.Size.Get(), 7u);
    EXPECT_EQ(std::memcmp(package.data() + 110, c.data(), 7), 0);
    EXPECT_EQ(std::memcmp(package.data(), stub.data(), stub.size()), 0);
}

TEST(PackageWriter, StreamsDataFromASourceAndReportsProgress) {
    const Bytes data = PatternBytes(0xF000 * 2 + 5);
    MemorySource source(data);
    MemorySink sink;
    PackageWriter writer(sink, 0);
    std::vector<std::uint64_t> seen;
    EXPECT_EQ(writer.AppendData(source, data.size(), [&](std::uint64_t done) { seen.push_back(done); }), 0u);
    EXPECT_EQ(sink.Bytes(), data);
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{0xF000, 0x1E000, 0x1E005}));
}

TEST(PackageWriter, ShortSourceRaisesReadError) {
    const Bytes data = PatternBytes(10);
    MemorySource source(data);
    MemorySink sink;
    PackageWriter writer(sink);
    EXPECT_ANY_THROW(writer.AppendData(source, 11));
}

TEST(PackageWriter, RefusesOffsetsBeyondFourGiB) {
    MemorySink sink;
    PackageWriter writer(sink, 0x100000000ull);
    try {
        writer.AppendData("x", 1);
        FAIL() << "no error";
    } catch (const Exception& e) {  // one hierarchy: shown by kind name like any other
        EXPECT_STREQ(e.TypeName(), "EPayloadTooLarge");
        EXPECT_NE(dynamic_cast<const ELengthError*>(&e), nullptr);
    }
    EXPECT_THROW(writer.Finish(MakeHeader("x"), {}), EPayloadTooLarge);
    PackageWriter atLimit(sink, 0xFFFFFFFFull);
    EXPECT_EQ(atLimit.AppendData("", 0), 0xFFFFFFFFu);
}

TEST(PackageWriter, BuildersRefuseValuesLongerThanTheirFields) {
    EXPECT_THROW(MakeHeader(std::string(257, 'a')), EFieldTooLong);
    EXPECT_NO_THROW(MakeHeader(std::string(256, 'a')));
    EXPECT_THROW(MakeHeader("a", std::string(65, 'b')), EFieldTooLong);
    EXPECT_THROW(MakeRegItem(0, std::string(513, 'k'), "", ""), EFieldTooLong);
    EXPECT_THROW(MakeRegItem(0, "", "", std::string(1025, 'd')), EFieldTooLong);
    EXPECT_NO_THROW(MakeRegItem(0, "", "", std::string(1024, 'd')));
    EXPECT_THROW(MakeShellItem(0, "", "", "", std::string(257, 'c')), EFieldTooLong);
}

TEST(UninstallLayout, TablesFromOffsetZeroThenAHeaderWithOnlyNameAndPlaces) {
    PackageTables tables;
    tables.Files = {MakeFileItem("a", "InstallDir", "", 5000, 3), MakeFileItem("b", "InstallDir", "x", 6000, 4)};
    tables.Dirs = {MakeDirItem("InstallDir", "x")};
    tables.RegItems = {MakeRegItem(1, "k", "v", "d"), MakeRegItem(2, "k", "v", "d"), MakeRegItem(3, "k", "v", "d")};
    MemorySink sink;
    WriteUninstallData(sink, "Demo", tables.View());
    const Bytes& bytes = sink.Bytes();
    ASSERT_EQ(bytes.size(), 2u * 776 + 512 + 3 * 1668 + 552);
    const TPackHeader h = TrailerOf(bytes);
    EXPECT_EQ(h.FileOffset.Get(), 0u);
    EXPECT_EQ(h.DirOffset.Get(), 1552u);
    EXPECT_EQ(h.ShellOffset.Get(), 2064u);
    EXPECT_EQ(h.RegOffset.Get(), 2064u);
    EXPECT_EQ(std::memcmp(bytes.data(), tables.Files.data(), 2 * 776), 0);

    TPackHeader expected{};
    std::memcpy(expected.Magic.bytes.data(), "qzx", 3);
    std::memcpy(expected.AppName.bytes.data(), "Demo", 4);
    expected.FileCount.Set(2);
    expected.DirCount.Set(1);
    expected.DirOffset.Set(1552);
    expected.ShellOffset.Set(2064);
    expected.RegCount.Set(3);
    expected.RegOffset.Set(2064);
    EXPECT_EQ(std::memcmp(&h, &expected, sizeof h), 0) << "header must be zero where nothing is carried";
}

TEST(UninstallLayout, EmptyPackageIsExactlyOneHeaderWithZeroOffsets) {
    MemorySink sink;
    WriteUninstallData(sink, "", {});
    ASSERT_EQ(sink.Bytes().size(), 552u);
    const TPackHeader h = TrailerOf(sink.Bytes());
    EXPECT_TRUE(IsValidHeader(h));
    EXPECT_EQ(h.FileOffset.Get() | h.DirOffset.Get() | h.ShellOffset.Get() | h.RegOffset.Get(), 0u);
}
