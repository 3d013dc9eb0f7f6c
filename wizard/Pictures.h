// The wizard's two pictures, drawn by code and encoded as uncompressed
// 4-bit Windows bitmaps with the palettes the window's design fixes. The
// build runs a small native program that writes them for the resources.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace Pictures {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
using Palette16 = std::array<Rgb, 16>;

// An image of palette indices, row 0 at the top.
struct Raster {
    int width, height;
    std::vector<std::uint8_t> pixels;

    Raster(int w, int h, std::uint8_t fill) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
    std::uint8_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
    void Set(int x, int y, std::uint8_t index) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[std::size_t(y) * width + x] = index;
    }
};

// A picture's palette: the colours its pixels use come first (`used` of
// them), the rest of the 16 entries repeat a filler.
struct PictureColours {
    Palette16 palette;
    std::size_t used;
};
constexpr PictureColours MakeColours(std::initializer_list<Rgb> used, Rgb filler) {
    PictureColours colours{{}, used.size()};
    colours.palette.fill(filler);
    std::size_t i = 0;
    for (const Rgb& colour : used) colours.palette[i++] = colour;
    return colours;
}

inline constexpr Rgb kBlack{0, 0, 0}, kNavy{0, 0, 57}, kBlue{0, 0, 132}, kGrey132{132, 132, 132},
    kGrey165{165, 165, 165}, kGrey198{198, 198, 198}, kWhite{255, 255, 255};

// The side picture: 164 x 314.
inline constexpr PictureColours kSideColours =
    MakeColours({kBlack, kNavy, kBlue, kGrey132, kGrey165, kGrey198, kWhite}, kBlack);
Raster SideRaster();
// The header picture: 55 x 55.
inline constexpr PictureColours kHeaderColours =
    MakeColours({kBlack, kBlue, kGrey132, kGrey165, kGrey198, kWhite}, kWhite);
Raster HeaderRaster();

// A BMP file (file header, BITMAPINFOHEADER, 16 palette entries, bottom-up
// rows padded to four bytes), BI_RGB, 4 bits per pixel.
Bytes Encode4Bit(const Raster& raster, const Palette16& palette);

// Drawing helpers shared with the application icon.
void Line(Raster& raster, int x0, int y0, int x1, int y1, std::uint8_t index);
// Fills the convex polygon given by its corners, in order.
void FillConvex(Raster& raster, const std::vector<std::array<int, 2>>& corners, std::uint8_t index);

}  // namespace Pictures
