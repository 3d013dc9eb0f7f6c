#include "package/CompressedForm.h"

#include <gtest/gtest.h>

#include "package/CompressedReading.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "system/ByteStream.h"
#include "system/Errors.h"
#include "tests/package/CompressedPackage.h"
#include "tests/support/TestFiles.h"

using namespace RecordHead;
using CompressedForm::PlanSources;
using CompressedForm::TFileSource;

namespace {

TFileItem Item(const char* name, std::uint32_t offset, std::uint32_t size) {
    return MakeFileItem(name, "InstallDir", "", offset, size);
}

}  // namespace

TEST(CompressedForm, NextBytesAreStreamedAndEarlierOnesCopiedFromTheLatestHolder) {
    const std::vector<TFileItem> files = {Item("a", 0, 10), Item("b", 10, 5), Item("c", 0, 10),
                                          Item("empty", 999, 0), Item("d", 0, 10), Item("e", 15, 1)};
    const std::vector<TFileSource> plan = PlanSources(files, 16);
    EXPECT_EQ(plan[0].How, TFileSource::Stream);
    EXPECT_EQ(plan[1].How, TFileSource::Stream);
    EXPECT_EQ(plan[2].How, TFileSource::Copy);
    EXPECT_EQ(plan[2].From, 0u);
    EXPECT_EQ(plan[3].How, TFileSource::Empty);  // its offset says nothing
    EXPECT_EQ(plan[4].How, TFileSource::Copy);
    EXPECT_EQ(plan[4].From, 2u);  // the latest file that wrote those bytes
    EXPECT_EQ(plan[5].How, TFileSource::Stream);
}

TEST(CompressedForm, RefusesRecordsThatNeitherFollowTheStreamNorRepeatAnEarlierOne) {
    const std::vector<std::vector<TFileItem>> bad = {
        {Item("gap", 4, 4)},                      // skips bytes of the stream
        {Item("a", 0, 8), Item("part", 2, 4)},    // inside an earlier content, not one
        {Item("a", 0, 8), Item("more", 0, 9)},    // reaches into bytes not yet decoded
        {Item("a", 0, 8), Item("past", 8, 9)},    // beyond the decoded data
    };
    for (const auto& files : bad) EXPECT_THROW(PlanSources(files, 16), EReadError) << files.back().FileName.Text();
}

TEST(CompressedForm, Crc32IsZlibs) {
    const char check[] = "123456789";  // the polynomial's published check value
    EXPECT_EQ(CompressedForm::Crc32(0, check, 9), 0xCBF43926u);
    EXPECT_EQ(CompressedForm::Crc32(CompressedForm::Crc32(0, check, 4), check + 4, 5), 0xCBF43926u);

    // Eight bytes at a time and the rest singly give what one bit at a time
    // gives, at every length and start, whole or in two parts.
    const auto bitwise = [](const std::uint8_t* p, std::size_t size) {
        std::uint32_t crc = 0xFFFFFFFFu;
        while (size-- > 0) {
            crc ^= *p++;
            for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
        return ~crc;
    };
    std::vector<std::uint8_t> data(3000);
    std::uint32_t seed = 7;
    for (std::uint8_t& b : data) b = static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    int wrong = 0;
    for (std::size_t start = 0; start < 8; ++start)
        for (std::size_t size : {0, 1, 7, 8, 9, 15, 16, 17, 63, 2000, 2991}) {
            const std::uint8_t* p = data.data() + start;
            const std::uint32_t expected = bitwise(p, size);
            if (CompressedForm::Crc32(0, p, size) != expected) ++wrong;
            if (CompressedForm::Crc32(CompressedForm::Crc32(0, p, size / 3), p + size / 3, size - size / 3) != expected)
                ++wrong;
        }
    EXPECT_EQ(wrong, 0);
}

namespace {

// What ReadPackage raises for `image`, or "" when it reads it.
std::string ReadError(const Bytes& image, const TPackageReading& reading = kFullReading) {
    MemorySource source(image);
    try {
        if (!ReadPackage(source, reading)) return "no package";
        return "";
    } catch (const Exception& e) {
        return e.TypeName();
    }
}

}  // namespace

TEST(CompressedForm, TablesComeFromTheirFrameAndOnlyAReaderWithTheDecoderTakesThem) {
    TCompressedPackage p = MakeCompressedPackage();
    MemorySource source(p.Image);
    const std::optional<TPackageContents> read = ReadPackage(source, kFullReading);
    ASSERT_TRUE(read && read->Stream);
    EXPECT_EQ(read->AppName(), "Packed App");
    ASSERT_EQ(read->Tables.Files.size(), 3u);
    EXPECT_EQ(read->Tables.Files[1].SubDir.Text(), "doc");
    EXPECT_EQ(read->Tables.Files[2].Offset.Get(), 0u);
    ASSERT_EQ(read->Tables.Dirs.size(), 1u);
    EXPECT_TRUE(read->Tables.ShellItems.empty());
    ASSERT_EQ(read->Tables.RegItems.size(), 1u);
    EXPECT_EQ(read->Tables.RegItems[0].ValueData.Text(), "%InstallDir%");
    EXPECT_EQ(read->Stream->Crcs.size(), 3u);
    EXPECT_EQ(read->Stream->Record.DataSize.Get(), 5003u);
    // A reader of the plain layout finds no package; one without the decoder refuses it.
    EXPECT_FALSE(IsValidHeader(p.Trailer()));
    EXPECT_EQ(ReadError(p.Image, {}), "EReadError");
}

TEST(CompressedForm, FramesAndCountsThatDisagreeAreRefused) {
    using TChange = void (*)(TCompressedPackage&);
    const struct {
        const char* What;
        TChange Change;
        const char* Error;
    } cases[] = {
        {"the frame cut short", [](TCompressedPackage& p) { p.Record().TablesSize.Set(p.Record().TablesSize.Get() - 4); }, "EReadError"},
        {"the frame past the end", [](TCompressedPackage& p) { p.Record().TablesSize.Set(p.Record().TablesSize.Get() + 600); }, "EReadError"},
        {"a frame giving more than the tables", [](TCompressedPackage& p) { p.Trailer().RegCount.Set(0); }, "EReadError"},
        {"a frame giving fewer than the tables",
         [](TCompressedPackage& p) {
             p.Trailer().DirCount.Set(2);
             p.Trailer().ShellOffset.Set(p.Trailer().ShellOffset.Get() + sizeof(TDirItem));
             p.Trailer().RegOffset.Set(p.Trailer().RegOffset.Get() + sizeof(TDirItem));
         },
         "EReadError"},
        {"tables apart", [](TCompressedPackage& p) { p.Trailer().RegOffset.Set(p.Trailer().RegOffset.Get() + 1); }, "EReadError"},
        {"more tables than the frame can hold",
         [](TCompressedPackage& p) {
             p.Trailer().RegCount.Set(1 + static_cast<std::int32_t>(CompressedForm::MaxFrameRatio * p.Record().TablesSize.Get() / sizeof(TRegItem)));
         },
         "EReadError"},
        {"a negative count", [](TCompressedPackage& p) { p.Trailer().ShellCount.Set(-1); }, "ERangeError"},
        {"the earlier form", [](TCompressedPackage& p) { p.Record().Codec.TrySet("zst"); }, "EReadError"},
        {"reserved bytes in use", [](TCompressedPackage& p) { p.Record().Reserved.Set(1); }, "EReadError"},
    };
    ASSERT_EQ(ReadError(MakeCompressedPackage().Image), "");
    for (const auto& c : cases) {
        TCompressedPackage p = MakeCompressedPackage();
        c.Change(p);
        EXPECT_EQ(ReadError(p.Image), c.Error) << c.What;
    }
    // However large the frame, no more tables than the setup program holds.
    TCompressedPackage p = MakeCompressedPackage();
    TPackHeader& h = p.Trailer();
    EXPECT_EQ(CompressedForm::DecodedTablesSize(h), 3 * sizeof(TFileItem) + sizeof(TDirItem) + sizeof(TRegItem));
    h.RegCount.Set(static_cast<std::int32_t>(CompressedForm::MaxTablesSize / sizeof(TRegItem)));
    EXPECT_THROW(CompressedForm::DecodedTablesSize(h), EReadError);
}
