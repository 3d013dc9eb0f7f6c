#include "resources/ApplicationIcon.h"

#include <array>

#include "system/LittleEndian.h"
#include "wizard/Pictures.h"

namespace ApplicationIcon {

namespace {

using Pictures::Raster;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kClear = 0;  // shown transparent through the mask
constexpr std::uint8_t kBlack = 7, kBlue = 1, kDark = 2, kMid = 3, kLight = 4, kBright = 6;

using LittleEndian::Append16;
using LittleEndian::Append32;

// Blue, three greys, white and black first, then a 6 x 6 x 6 colour cube
// and a grey ramp: 256 entries as (b, g, r, 0).
std::array<std::array<std::uint8_t, 4>, kColours> Palette() {
    std::array<std::array<std::uint8_t, 4>, kColours> p{};
    p[1] = {132, 0, 0, 0};
    p[2] = {132, 132, 132, 0};
    p[3] = {165, 165, 165, 0};
    p[4] = {198, 198, 198, 0};
    p[5] = {255, 255, 255, 0};
    p[6] = {255, 255, 255, 0};
    for (int i = 0; i < 216; ++i)
        p[16 + i] = {std::uint8_t(i % 6 * 51), std::uint8_t(i / 6 % 6 * 51), std::uint8_t(i / 36 * 51), 0};
    for (int i = 0; i < 24; ++i) p[232 + i] = {std::uint8_t(8 + i * 10), std::uint8_t(8 + i * 10), std::uint8_t(8 + i * 10), 0};
    return p;
}

// The header picture's motif: an arrow pointing into a package.
Raster Draw() {
    Raster r(kSize, kSize, kClear);
    using Pictures::FillConvex;
    using Pictures::Line;
    FillConvex(r, {{16, 12}, {29, 19}, {16, 26}, {3, 19}}, kLight);
    FillConvex(r, {{3, 19}, {16, 26}, {16, 31}, {3, 24}}, kMid);
    FillConvex(r, {{16, 26}, {29, 19}, {29, 24}, {16, 31}}, kDark);
    for (auto [x0, y0, x1, y1] : std::array<std::array<int, 4>, 9>{{{16, 12, 29, 19}, {29, 19, 16, 26},
                                                                      {16, 26, 3, 19}, {3, 19, 16, 12},
                                                                      {3, 19, 3, 24}, {29, 19, 29, 24},
                                                                      {16, 26, 16, 31}, {3, 24, 16, 31},
                                                                      {16, 31, 29, 24}}})
        Line(r, x0, y0, x1, y1, kBlack);
    FillConvex(r, {{13, 0}, {19, 0}, {19, 10}, {13, 10}}, kBlue);
    FillConvex(r, {{8, 10}, {24, 10}, {16, 19}}, kBlue);
    Line(r, 14, 1, 14, 9, kBright);
    return r;
}

}  // namespace

Bytes Encode() {
    const Raster r = Draw();
    constexpr std::uint32_t kColourRow = kSize, kMaskRow = ((kSize + 31) / 32) * 4;
    constexpr std::uint32_t kImageBytes = 40 + kColours * 4 + kColourRow * kSize + kMaskRow * kSize;
    Bytes out;
    Append16(out, 0);  // icon directory: reserved, type 1 (icon), one image
    Append16(out, 1);
    Append16(out, 1);
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(0);  // 256 colours are written as 0
    out.push_back(0);
    Append16(out, 1);
    Append16(out, 8);
    Append32(out, kImageBytes);
    Append32(out, 22);
    Append32(out, 40);
    Append32(out, kSize);
    Append32(out, kSize * 2);  // colour rows and mask rows
    Append16(out, 1);
    Append16(out, 8);
    Append32(out, 0);
    Append32(out, kColourRow * kSize + kMaskRow * kSize);
    Append32(out, 0);
    Append32(out, 0);
    Append32(out, kColours);
    Append32(out, 0);
    for (const auto& entry : Palette()) out.insert(out.end(), entry.begin(), entry.end());
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; ++x) out.push_back(r.At(x, y));
    for (int y = kSize - 1; y >= 0; --y) {
        Bytes row(kMaskRow, 0);
        for (int x = 0; x < kSize; ++x)
            if (r.At(x, y) == kClear) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace ApplicationIcon
