// The wizard's two pictures, drawn by code and encoded as uncompressed
// 4-bit Windows bitmaps with the palettes the window's design fixes. The
// build runs a small native program that writes them for the resources.
#pragma once

#include <array>
#include <cstdint>
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

// The side picture: 164 x 314; black, (0,0,57), (0,0,132), three greys,
// white, then black.
Palette16 SidePalette();
Raster SideRaster();
// The header picture: 55 x 55; black, (0,0,132), three greys, white, then white.
Palette16 HeaderPalette();
Raster HeaderRaster();

// A BMP file (file header, BITMAPINFOHEADER, 16 palette entries, bottom-up
// rows padded to four bytes), BI_RGB, 4 bits per pixel.
Bytes Encode4Bit(const Raster& raster, const Palette16& palette);

// Drawing helpers shared with the application icon.
void Line(Raster& raster, int x0, int y0, int x1, int y1, std::uint8_t index);
// Fills the convex polygon given by its corners, in order.
void FillConvex(Raster& raster, const std::vector<std::array<int, 2>>& corners, std::uint8_t index);

}  // namespace Pictures
