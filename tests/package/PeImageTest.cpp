#include "package/PeImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "system/LittleEndian.h"

namespace {

using LittleEndian::Load16;
using LittleEndian::Store16;
using LittleEndian::Store32;

// A PE32 image of headers only: PE at 0x80, 16 directory entries, two sections.
std::vector<std::uint8_t> SmallImage() {
    std::vector<std::uint8_t> b(0x400, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Store32(b, 60, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    Store16(b, 0x86, 2);             // sections
    Store16(b, 0x94, 224);           // optional header size
    const std::size_t opt = 0x98;
    Store16(b, opt, 0x10B);
    Store32(b, opt + 32, 0x1000);    // section alignment
    Store32(b, opt + 36, 0x200);     // file alignment
    Store32(b, opt + 56, 0x3000);    // image size
    Store32(b, opt + 60, 0x200);     // header size
    Store32(b, opt + 92, 16);
    Store32(b, opt + 96 + 2 * 8, 0x2000);  // resources
    Store32(b, opt + 96 + 2 * 8 + 4, 0x123);
    const std::size_t sec = opt + 224;
    std::memcpy(&b[sec], ".text", 5);
    Store32(b, sec + 12, 0x1000);
    Store32(b, sec + 16, 0x100);
    Store32(b, sec + 20, 0x200);
    std::memcpy(&b[sec + 40], ".rsrc", 5);
    Store32(b, sec + 40 + 12, 0x2000);
    Store32(b, sec + 40 + 16, 0x100);
    Store32(b, sec + 40 + 20, 0x300);
    return b;
}

TEST(PeImageTest, ReadsHeadersDirectoryAndSections) {
    auto bytes = SmallImage();
    MemorySource source(bytes);
    const auto layout = PeImage::ReadLayout(source);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->checksumOffset, 0x98u + 64);
    EXPECT_EQ(layout->fileAlignment, 0x200u);
    ASSERT_EQ(layout->sections.size(), 2u);
    EXPECT_EQ(layout->sections[1].name, ".rsrc");
    EXPECT_EQ(layout->EndOfSections(), 0x400u);
    const auto rsrc = PeImage::ReadDirectory(source, *layout, PeImage::ResourceDirectory);
    EXPECT_EQ(rsrc.address, 0x2000u);
    EXPECT_EQ(rsrc.size, 0x123u);
    EXPECT_EQ(PeImage::ReadDirectory(source, *layout, 20).size, 0u);
}

TEST(PeImageTest, RefusesWhatIsNotAPe32Image) {
    auto pe64 = SmallImage();
    Store16(pe64, 0x98, 0x20B);
    auto truncated = SmallImage();
    truncated.resize(0x150);
    auto noSignature = SmallImage();
    noSignature[0x81] = 'X';
    for (auto* bytes : {&pe64, &truncated, &noSignature}) {
        MemorySource source(*bytes);
        EXPECT_FALSE(PeImage::ReadLayout(source));
    }
}

TEST(PeImageTest, SignatureFieldsSitWhereVerifiersReadThem) {
    auto bytes = SmallImage();
    Store32(bytes, 0x98 + 128, 0x400);
    Store32(bytes, 0x98 + 132, 0x10);
    MemorySource source(bytes);
    auto fields = PeImage::ReadSignatureFields(source);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->checksumOffset, 0x98u + 64);
    EXPECT_EQ(fields->entryOffset, 0x98u + 128);
    EXPECT_EQ(fields->entry.address, 0x400u);
    EXPECT_EQ(fields->entry.size, 0x10u);
    EXPECT_TRUE(fields->declared);
    // A shorter optional header moves nothing: its entry is just not declared.
    Store16(bytes, 0x94, 128);
    fields = PeImage::ReadSignatureFields(source);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->entryOffset, 0x98u + 128);
    EXPECT_FALSE(fields->declared);
    // PE32+ keeps 16 more bytes of fields before its data directory.
    Store16(bytes, 0x94, 240);
    Store16(bytes, 0x98, 0x20B);
    Store32(bytes, 0x98 + 108, 16);
    fields = PeImage::ReadSignatureFields(source);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->entryOffset, 0x98u + 144);
    EXPECT_TRUE(fields->declared);
    bytes[0] = 'X';
    EXPECT_FALSE(PeImage::ReadSignatureFields(source));
}

TEST(PeImageTest, ChecksumSkipsItsFieldFoldsCarriesAndAddsTheLength) {
    // 0xFFFF + 0x0003 folds to 0x0003; the odd last byte counts as a low byte.
    std::vector<std::uint8_t> b = {0xFF, 0xFF, 0x03, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x05};
    MemorySource source(b);
    EXPECT_EQ(PeImage::Checksum(source, 4), 0x0003u + 0x0005u + 9u);
    b[4] = 0x11;  // inside the skipped field: no change
    MemorySource again(b);
    EXPECT_EQ(PeImage::Checksum(again, 4), 0x0003u + 0x0005u + 9u);
}

// The checksum step by step as Windows documents it, for the fast one to match.
std::uint32_t StepwiseChecksum(const std::vector<std::uint8_t>& b, std::size_t field) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        if (i == field || i == field + 2) continue;
        sum += i + 1 < b.size() ? Load16(b, i) : b[i];
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(b.size());
}

TEST(PeImageTest, ChecksumFedInPiecesOfAnySizeMatchesTheStepwiseSum) {
    std::vector<std::uint8_t> b(300001);
    std::uint32_t x = 12345;
    for (auto& v : b) v = std::uint8_t((x = x * 1103515245 + 12345) >> 24);
    std::fill(b.begin() + 1000, b.begin() + 200000, 0xFF);  // long runs of the largest words
    const std::uint32_t expected = StepwiseChecksum(b, 0xD8);
    MemorySource whole(b);
    EXPECT_EQ(PeImage::Checksum(whole, 0xD8), expected);
    for (const std::size_t piece : {1u, 7u, 8u, 4093u, 131072u}) {
        PeImage::TChecksum checksum(0xD8);
        for (std::size_t at = 0; at < b.size(); at += piece) checksum.Add(&b[at], std::min(piece, b.size() - at));
        EXPECT_EQ(checksum.Value(), expected) << "pieces of " << piece;
    }
}

}  // namespace
