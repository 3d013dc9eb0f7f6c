#include "tools/pe/IconFile.h"

#include <gtest/gtest.h>

#include "tests/tools/pe/PeTestImage.h"

namespace {

// A DIB as icons hold it: 40-byte header, no colour table, 32-bit colour
// rows and a one-bit mask.
Bytes Bitmap32(std::uint32_t size) {
    const std::uint32_t maskRow = (size + 31) / 32 * 4;
    Bytes b(40 + size * size * 4 + size * maskRow, 0x5A);
    std::fill(b.begin(), b.begin() + 40, 0);
    Store32(b, 0, 40);
    Store32(b, 4, size);
    Store32(b, 8, size * 2);
    b[12] = 1;
    b[14] = 32;
    return b;
}

// The start of a PNG file with its IHDR chunk, then filler.
Bytes Png(std::uint32_t size) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {size, size})
        for (int shift = 24; shift >= 0; shift -= 8) b.push_back(std::uint8_t(v >> shift));
    b.insert(b.end(), {8, 6, 0, 0, 0});
    const Bytes rest = PatternBytes(500, size);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

// An .ico of `images`, the directory's planes and bit counts left zero as
// some tools write them.
Bytes Ico(const std::vector<std::pair<std::uint8_t, Bytes>>& images) {
    Bytes b = {0, 0, 1, 0, std::uint8_t(images.size()), 0};
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const auto& [size, bytes] : images) {
        const Bytes entry = {size, size, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const std::size_t at = b.size();
        b.insert(b.end(), entry.begin(), entry.end());
        Store32(b, at + 8, static_cast<std::uint32_t>(bytes.size()));
        Store32(b, at + 12, offset);
        offset += static_cast<std::uint32_t>(bytes.size());
    }
    for (const auto& image : images) b.insert(b.end(), image.second.begin(), image.second.end());
    return b;
}

TEST(IconFile, KeepsEveryImageByteForByteAndNamesThemInTheGroup) {
    const Bytes small = Bitmap32(16), large = Png(256);
    const Bytes file = Ico({{16, small}, {0, large}});
    std::string problem;
    const auto icon = IconFile::Parse(file, problem);
    ASSERT_TRUE(icon) << problem;
    ASSERT_EQ(icon->Images.size(), 2u);
    EXPECT_EQ(icon->Images[0].Bytes, small);
    EXPECT_FALSE(icon->Images[0].Png);
    EXPECT_EQ(icon->Images[0].BitCount, 32);  // taken from the bitmap where the directory has none
    EXPECT_EQ(icon->Images[1].Bytes, large);
    EXPECT_TRUE(icon->Images[1].Png);
    EXPECT_EQ(icon->Images[1].Width, 0);  // 256

    const Bytes group = IconFile::GroupResource(*icon, 7);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(Load16(group, 2), 1);
    EXPECT_EQ(Load16(group, 4), 2);
    EXPECT_EQ(group[6], 16);
    EXPECT_EQ(Load16(group, 6 + 4), 1);
    EXPECT_EQ(Load16(group, 6 + 6), 32);
    EXPECT_EQ(Load32(group, 6 + 8), small.size());
    EXPECT_EQ(Load16(group, 6 + 12), 7);
    EXPECT_EQ(Load32(group, 20 + 8), large.size());
    EXPECT_EQ(Load16(group, 20 + 12), 8);
}

TEST(IconFile, RefusesWhatIsNoIcon) {
    const Bytes good = Ico({{16, Bitmap32(16)}});
    Bytes cursor = good;
    cursor[2] = 2;
    Bytes empty = good;
    empty[4] = 0;
    Bytes outside = good;
    Store32(outside, 6 + 8, 100000);
    Bytes overlapsDirectory = good;
    Store32(overlapsDirectory, 6 + 12, 4);
    Bytes shortBitmap = Ico({{16, Bitmap32(16)}});
    shortBitmap.resize(shortBitmap.size() - 1);
    Store32(shortBitmap, 6 + 8, Load32(shortBitmap, 6 + 8) - 1);
    Bytes oddHeight = Ico({{16, Bitmap32(16)}});
    Store32(oddHeight, 22 + 8, 31);
    Bytes fiveBits = Ico({{16, Bitmap32(16)}});
    fiveBits[22 + 14] = 5;
    Bytes noIhdr = Ico({{32, Png(32)}});
    noIhdr[22 + 12] = 'X';
    const Bytes text = TextBytes("this is not an icon at all");
    const std::vector<std::pair<const Bytes*, const char*>> cases = {
        {&cursor, "cursor"},      {&empty, "0 images"},         {&outside, "outside the file"},
        {&overlapsDirectory, "outside the file"}, {&shortBitmap, "needed"}, {&oddHeight, "impossible size"},
        {&fiveBits, "5 bits"},    {&noIhdr, "IHDR"},            {&text, "does not begin like an icon"}};
    for (const auto& [bytes, part] : cases) {
        std::string problem;
        EXPECT_FALSE(IconFile::Parse(*bytes, problem)) << part;
        EXPECT_NE(problem.find(part), std::string::npos) << problem;
    }
}

}  // namespace
