// A Windows icon file (.ico) read for an executable's resources: its
// directory and every image kept byte for byte, and the group resource that
// names those images once they are resources of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace IconFile {

struct TImage {
    std::uint8_t Width = 0;   // 0 stands for 256
    std::uint8_t Height = 0;  // 0 stands for 256
    std::uint8_t ColourCount = 0;
    std::uint16_t Planes = 0;
    std::uint16_t BitCount = 0;
    bool Png = false;
    std::vector<std::uint8_t> Bytes;  // a PNG file, or a DIB: header, colours, colour and mask bits
};

struct TIcon {
    std::vector<TImage> Images;  // in the file's order
};

// The icon in `bytes`; nothing, with the reason in `problem`, when they are
// not a usable icon file (a cursor, a directory or an image out of bounds, an
// image that is neither a PNG nor a device-independent bitmap, ...).
std::optional<TIcon> Parse(std::span<const std::uint8_t> bytes, std::string& problem);

// The RT_GROUP_ICON resource of `icon` whose images are the RT_ICON resources
// firstId, firstId + 1, ... in the icon's order.
std::vector<std::uint8_t> GroupResource(const TIcon& icon, std::uint16_t firstId);

}  // namespace IconFile
