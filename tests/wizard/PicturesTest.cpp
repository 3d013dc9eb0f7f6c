// The generated pictures and icon: the formats the resources expect and the
// palettes the wizard's design fixes.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "resources/ApplicationIcon.h"
#include "system/LittleEndian.h"
#include "wizard/Pictures.h"

namespace {

using Pictures::Bytes;

using LittleEndian::Load16;
using LittleEndian::Load32;

// Reads a 4-bit BMP as the resource compiler and LoadImage would.
void CheckBitmap(const Bytes& bmp, int width, int height, const Pictures::Palette16& palette) {
    ASSERT_GE(bmp.size(), 118u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Load32(bmp, 2), bmp.size());
    EXPECT_EQ(Load32(bmp, 10), 118u);  // bits right after header and 16 colours
    EXPECT_EQ(Load32(bmp, 14), 40u);
    EXPECT_EQ(int(Load32(bmp, 18)), width);
    EXPECT_EQ(int(Load32(bmp, 22)), height);  // positive: stored bottom-up
    EXPECT_EQ(Load16(bmp, 26), 1);
    EXPECT_EQ(Load16(bmp, 28), 4);
    EXPECT_EQ(Load32(bmp, 30), 0u);  // BI_RGB, uncompressed
    const std::uint32_t row = (std::uint32_t(width) * 4 + 31) / 32 * 4;
    EXPECT_EQ(Load32(bmp, 34), row * height);
    EXPECT_EQ(bmp.size(), 118 + row * height);
    for (int i = 0; i < 16; ++i) {
        const Pictures::Rgb entry{bmp[54 + 4 * i + 2], bmp[54 + 4 * i + 1], bmp[54 + 4 * i]};
        EXPECT_EQ(bmp[54 + 4 * i + 3], 0) << "palette entry " << i << " reserved byte";
        EXPECT_EQ(entry, palette[i]) << "palette entry " << i;
    }
}

}  // namespace

TEST(Pictures, SidePictureIs164x314WithItsPalette) {
    CheckBitmap(Pictures::Encode4Bit(Pictures::SideRaster(), Pictures::kSideColours.palette), 164, 314,
                Pictures::kSideColours.palette);
}

TEST(Pictures, HeaderPictureIs55x55WithItsPalette) {
    CheckBitmap(Pictures::Encode4Bit(Pictures::HeaderRaster(), Pictures::kHeaderColours.palette), 55, 55,
                Pictures::kHeaderColours.palette);
}

TEST(Pictures, PixelsUseSeveralColoursAndOnlyTheirPicturesOwn) {
    for (const auto& [raster, colours] :
         {std::pair{Pictures::SideRaster(), Pictures::kSideColours}, {Pictures::HeaderRaster(), Pictures::kHeaderColours}}) {
        const std::set<int> used(raster.pixels.begin(), raster.pixels.end());
        EXPECT_GE(used.size(), 4u);
        EXPECT_LT(std::size_t(*used.rbegin()), colours.used) << "a pixel in the filler entries";
    }
}

TEST(Pictures, RowsAreStoredBottomUpInPaddedNibbles) {
    Pictures::Raster r(3, 2, 0);
    r.Set(0, 0, 0xA);  // top-left
    r.Set(2, 1, 0x5);  // bottom-right
    const Bytes bmp = Pictures::Encode4Bit(r, Pictures::kHeaderColours.palette);
    // Bottom row first: pixels 0,0,5 -> 0x00 0x50, padded to 4 bytes; then 0xA0 0x00.
    EXPECT_EQ(Bytes(bmp.begin() + 118, bmp.end()), (Bytes{0x00, 0x50, 0, 0, 0xA0, 0x00, 0, 0}));
}

TEST(ApplicationIcon, OneImageOf32x32With256Colours) {
    const Bytes ico = ApplicationIcon::Encode();
    ASSERT_GE(ico.size(), 22u + 40u);
    EXPECT_EQ(Load16(ico, 0), 0);
    EXPECT_EQ(Load16(ico, 2), 1);  // icon
    EXPECT_EQ(Load16(ico, 4), 1);  // one image
    EXPECT_EQ(ico[6], 32);
    EXPECT_EQ(ico[7], 32);
    EXPECT_EQ(ico[8], 0);  // 256 colours
    EXPECT_EQ(Load16(ico, 12), 8);
    EXPECT_EQ(Load32(ico, 18), 22u);
    EXPECT_EQ(Load32(ico, 14), ico.size() - 22);
    EXPECT_EQ(Load32(ico, 22 + 4), 32u);
    EXPECT_EQ(Load32(ico, 22 + 8), 64u);  // colour and mask rows
    EXPECT_EQ(Load16(ico, 22 + 14), 8);
    EXPECT_EQ(Load32(ico, 22 + 32), 256u);
    EXPECT_EQ(ico.size(), 22u + 40 + 256 * 4 + 32 * 32 + 32 * 4);
}

TEST(ApplicationIcon, MaskShowsExactlyThePaintedPixels) {
    const Bytes ico = ApplicationIcon::Encode();
    const std::size_t colours = 22 + 40 + 256 * 4, mask = colours + 32 * 32;
    int shown = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool transparent = ico[mask + y * 4 + x / 8] & (0x80 >> (x % 8));
            const int index = ico[colours + y * 32 + x];
            EXPECT_EQ(transparent, index == 0) << x << "," << y;
            shown += !transparent;
        }
    EXPECT_GT(shown, 200);
    EXPECT_LT(shown, 32 * 32);
}
