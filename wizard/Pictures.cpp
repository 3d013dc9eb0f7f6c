#include "wizard/Pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "system/LittleEndian.h"

namespace Pictures {

namespace {

using LittleEndian::Append16;
using LittleEndian::Append32;

// Ordered dithering between two indices: 0 gives all `a`, 16 all `b`.
std::uint8_t Dither(int x, int y, int level, std::uint8_t a, std::uint8_t b) {
    static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return kBayer[y & 3][x & 3] < level ? b : a;
}

// An isometric box: its top face centred at (cx, cy) with half extents
// (hw, hh), sides `depth` deep; faces top, left, right, edges black.
struct BoxColours {
    std::uint8_t top, left, right, edge;
};
void Box(Raster& r, int cx, int cy, int hw, int hh, int depth, BoxColours c) {
    const int lx = cx - hw, rx = cx + hw, ty = cy - hh, by = cy + hh;
    FillConvex(r, {{cx, ty}, {rx, cy}, {cx, by}, {lx, cy}}, c.top);
    FillConvex(r, {{lx, cy}, {cx, by}, {cx, by + depth}, {lx, cy + depth}}, c.left);
    FillConvex(r, {{cx, by}, {rx, cy}, {rx, cy + depth}, {cx, by + depth}}, c.right);
    Line(r, cx, ty, rx, cy, c.edge);
    Line(r, rx, cy, cx, by, c.edge);
    Line(r, cx, by, lx, cy, c.edge);
    Line(r, lx, cy, cx, ty, c.edge);
    Line(r, lx, cy, lx, cy + depth, c.edge);
    Line(r, rx, cy, rx, cy + depth, c.edge);
    Line(r, cx, by, cx, by + depth, c.edge);
    Line(r, lx, cy + depth, cx, by + depth, c.edge);
    Line(r, cx, by + depth, rx, cy + depth, c.edge);
}

// A disc with a hole, lit from the upper left.
void Disc(Raster& r, int cx, int cy, int radius, int hole, std::uint8_t lit, std::uint8_t shaded, std::uint8_t rim) {
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x) {
            const double d = std::hypot(x - cx, y - cy);
            if (d > radius + 0.5 || d < hole - 0.5) continue;
            const bool edge = d > radius - 0.8 || d < hole + 0.7;
            r.Set(x, y, edge ? rim : ((x - cx) + (y - cy) < 0 ? lit : shaded));
        }
}

}  // namespace

Raster SideRaster() {
    Raster r(164, 314, 1);
    // Night blue deepening downwards, dithered between the two blues.
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) r.Set(x, y, Dither(x, y, (y * 17) / r.height, 1, 2));
    // A few stars in the upper part.
    static constexpr int kStars[][2] = {{18, 22}, {57, 12}, {121, 30}, {146, 64}, {30, 70}, {98, 44}, {140, 118}};
    for (const auto& s : kStars) {
        r.Set(s[0], s[1], 6);
        r.Set(s[0] - 1, s[1], 4);
        r.Set(s[0] + 1, s[1], 4);
        r.Set(s[0], s[1] - 1, 4);
        r.Set(s[0], s[1] + 1, 4);
    }
    // A disc sinking into an open package.
    Disc(r, 82, 118, 34, 8, 6, 5, 3);
    Box(r, 82, 190, 54, 27, 64, {5, 4, 3, 0});
    // The floor the package stands on.
    for (int x = 8; x < 156; ++x) r.Set(x, 290, Dither(x, 0, 8, 2, 3));
    return r;
}

Raster HeaderRaster() {
    Raster r(55, 55, 5);
    Box(r, 27, 33, 21, 10, 13, {4, 3, 2, 0});
    // An arrow pointing into the box.
    FillConvex(r, {{24, 3}, {30, 3}, {30, 17}, {24, 17}}, 1);
    FillConvex(r, {{18, 17}, {36, 17}, {27, 28}}, 1);
    return r;
}

Bytes Encode4Bit(const Raster& raster, const Palette16& palette) {
    const std::uint32_t rowBytes = ((std::uint32_t(raster.width) * 4 + 31) / 32) * 4;
    const std::uint32_t imageBytes = rowBytes * std::uint32_t(raster.height);
    const std::uint32_t bitsOffset = 14 + 40 + 16 * 4;
    Bytes out;
    out.reserve(bitsOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Append32(out, bitsOffset + imageBytes);
    Append32(out, 0);
    Append32(out, bitsOffset);
    Append32(out, 40);  // BITMAPINFOHEADER
    Append32(out, std::uint32_t(raster.width));
    Append32(out, std::uint32_t(raster.height));  // positive: bottom-up
    Append16(out, 1);
    Append16(out, 4);
    Append32(out, 0);  // BI_RGB
    Append32(out, imageBytes);
    Append32(out, 3780);  // 96 pixels per inch
    Append32(out, 3780);
    Append32(out, 16);
    Append32(out, 0);
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = raster.height - 1; y >= 0; --y) {
        Bytes row(rowBytes, 0);
        for (int x = 0; x < raster.width; ++x) row[x / 2] |= std::uint8_t((raster.At(x, y) & 15) << (x % 2 ? 0 : 4));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void Line(Raster& raster, int x0, int y0, int x1, int y1, std::uint8_t index) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    for (int err = dx + dy;;) {
        raster.Set(x0, y0, index);
        if (x0 == x1 && y0 == y1) return;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void FillConvex(Raster& raster, const std::vector<std::array<int, 2>>& corners, std::uint8_t index) {
    int top = corners[0][1], bottom = top;
    for (const auto& c : corners) top = std::min(top, c[1]), bottom = std::max(bottom, c[1]);
    for (int y = top; y <= bottom; ++y) {
        // Where the scan line's centre crosses the edges.
        double left = 1e9, right = -1e9;
        const double yc = y + 0.5;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const auto& a = corners[i];
            const auto& b = corners[(i + 1) % corners.size()];
            if ((yc < a[1] && yc < b[1]) || (yc > a[1] && yc > b[1]) || a[1] == b[1]) continue;
            const double x = a[0] + (yc - a[1]) * (b[0] - a[0]) / double(b[1] - a[1]);
            left = std::min(left, x), right = std::max(right, x);
        }
        for (int x = int(std::ceil(left - 0.5)); x <= int(std::floor(right - 0.5)); ++x) raster.Set(x, y, index);
    }
}

}  // namespace Pictures
