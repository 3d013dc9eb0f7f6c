#include "tools/pe/IconFile.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "system/LittleEndian.h"

namespace IconFile {
namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::size_t kMaxImages = 256;  // more than any real icon carries
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

using LittleEndian::Append16;
using LittleEndian::Append32;
using LittleEndian::Load16;
using LittleEndian::Load32;

std::uint32_t BigU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// A PNG image: the signature, then an IHDR chunk with a sensible size.
std::string CheckPng(std::span<const std::uint8_t> image) {
    if (image.size() < 33 || std::memcmp(&image[12], "IHDR", 4) != 0 || BigU32(&image[8]) != 13)
        return "its PNG image has no IHDR header";
    const std::uint32_t width = BigU32(&image[16]), height = BigU32(&image[20]);
    if (width == 0 || height == 0 || width > 1024 || height > 1024)
        return "its PNG image is " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
    return {};
}

// A DIB as icons hold it: the header, the colour table, the colour bits and
// the one-bit mask, with the height counting both.
std::string CheckBitmap(std::span<const std::uint8_t> image, TImage& entry) {
    if (image.size() < 40) return "an image is neither a PNG nor a bitmap";
    const std::uint32_t headerSize = Load32(&image[0]);
    const std::int32_t width = static_cast<std::int32_t>(Load32(&image[4]));
    const std::int32_t height = static_cast<std::int32_t>(Load32(&image[8]));
    const std::uint16_t planes = Load16(&image[12]), bits = Load16(&image[14]);
    const std::uint32_t compression = Load32(&image[16]), used = Load32(&image[32]);
    if (headerSize != 40 && headerSize != 108 && headerSize != 124) return "an image is neither a PNG nor a bitmap";
    if (width <= 0 || width > 1024 || height <= 0 || height > 2048 || height % 2 != 0)
        return "a bitmap image has an impossible size";
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return "a bitmap image has " + std::to_string(bits) + " bits per pixel";
    if (compression != 0) return "a bitmap image is compressed";
    if (bits <= 8 && used > (1u << bits)) return "a bitmap image has more colours than its bits can address";
    const std::uint64_t colours = bits <= 8 ? (used != 0 ? used : 1u << bits) : used;
    const std::uint64_t rows = std::uint64_t(height) / 2;
    const std::uint64_t colourRow = (std::uint64_t(width) * bits + 31) / 32 * 4;
    const std::uint64_t maskRow = (std::uint64_t(width) + 31) / 32 * 4;
    const std::uint64_t needed = headerSize + colours * 4 + rows * (colourRow + maskRow);
    if (image.size() < needed)
        return "a bitmap image holds " + std::to_string(image.size()) + " bytes, " + std::to_string(needed) +
               " needed";
    if (entry.Planes == 0) entry.Planes = planes;
    if (entry.BitCount == 0) entry.BitCount = bits;
    return {};
}

}  // namespace

std::optional<TIcon> Parse(std::span<const std::uint8_t> bytes, std::string& problem) {
    if (bytes.size() < kDirectorySize || Load16(&bytes[0]) != 0 || Load16(&bytes[2]) != 1) {
        problem = bytes.size() >= 4 && Load16(&bytes[0]) == 0 && Load16(&bytes[2]) == 2
                      ? "it is a cursor, not an icon"
                      : "it does not begin like an icon file";
        return std::nullopt;
    }
    const std::size_t count = Load16(&bytes[4]);
    if (count == 0 || count > kMaxImages) {
        problem = "its directory lists " + std::to_string(count) + " images";
        return std::nullopt;
    }
    const std::size_t dataStart = kDirectorySize + count * kEntrySize;
    if (bytes.size() < dataStart) {
        problem = "it ends inside its directory";
        return std::nullopt;
    }
    TIcon icon;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = &bytes[kDirectorySize + i * kEntrySize];
        const std::uint32_t size = Load32(e + 8), offset = Load32(e + 12);
        if (size == 0 || offset < dataStart || offset > bytes.size() || size > bytes.size() - offset) {
            problem = "image " + std::to_string(i + 1) + " lies outside the file";
            return std::nullopt;
        }
        TImage image{e[0], e[1], e[2], Load16(e + 4), Load16(e + 6), false, {}};
        const auto data = bytes.subspan(offset, size);
        image.Png = size >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), data.begin());
        std::string bad = image.Png ? CheckPng(data) : CheckBitmap(data, image);
        if (!bad.empty()) {
            problem = "image " + std::to_string(i + 1) + ": " + bad;
            return std::nullopt;
        }
        if (image.Png && image.BitCount == 0) image.BitCount = 32;
        if (image.Png && image.Planes == 0) image.Planes = 1;
        image.Bytes.assign(data.begin(), data.end());
        icon.Images.push_back(std::move(image));
    }
    return icon;
}

std::vector<std::uint8_t> GroupResource(const TIcon& icon, std::uint16_t firstId) {
    std::vector<std::uint8_t> out;
    out.reserve(kDirectorySize + icon.Images.size() * kGroupEntrySize);
    Append16(out, 0);
    Append16(out, 1);
    Append16(out, static_cast<std::uint16_t>(icon.Images.size()));
    std::uint16_t id = firstId;
    for (const TImage& image : icon.Images) {
        out.insert(out.end(), {image.Width, image.Height, image.ColourCount, 0});
        Append16(out, image.Planes);
        Append16(out, image.BitCount);
        Append32(out, static_cast<std::uint32_t>(image.Bytes.size()));
        Append16(out, id++);
    }
    return out;
}

}  // namespace IconFile
