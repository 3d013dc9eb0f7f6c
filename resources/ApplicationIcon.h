// The application icon MAINICON: one 32 x 32 image with 256 colours, drawn
// by code and written as an .ico file by a small native build step.
#pragma once

#include <cstdint>
#include <vector>

namespace ApplicationIcon {

inline constexpr int kSize = 32;
inline constexpr int kColours = 256;

// The .ico file: icon directory, one entry, BITMAPINFOHEADER (double
// height), 256 palette entries, 8-bit colour rows, 1-bit transparency mask.
std::vector<std::uint8_t> Encode();

}  // namespace ApplicationIcon
