// Little-endian integers in byte buffers: every stored format here (PE
// headers, icons, bitmaps, package records) keeps them so whatever the host.
// Inline, so the small programs pay nothing for sharing them.
// The pointer forms leave bounds to the caller; the forms that take a buffer
// and an offset raise ERangeError for a field that does not fit in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "system/Errors.h"

namespace LittleEndian {

inline std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Load32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline void Store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
    Store16(p, static_cast<std::uint16_t>(v));
    Store16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

// A field of `width` bytes at `at` inside a buffer of `size` bytes.
inline void CheckField(std::size_t size, std::size_t at, std::size_t width) {
    if (at > size || size - at < width) throw ERangeError("a little-endian field lies past the end of its buffer");
}
inline std::uint16_t Load16(std::span<const std::uint8_t> bytes, std::size_t at) {
    CheckField(bytes.size(), at, 2);
    return Load16(bytes.data() + at);
}
inline std::uint32_t Load32(std::span<const std::uint8_t> bytes, std::size_t at) {
    CheckField(bytes.size(), at, 4);
    return Load32(bytes.data() + at);
}
inline void Store16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t v) {
    CheckField(bytes.size(), at, 2);
    Store16(bytes.data() + at, v);
}
inline void Store32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t v) {
    CheckField(bytes.size(), at, 4);
    Store32(bytes.data() + at, v);
}

inline void Append16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Append16(out, static_cast<std::uint16_t>(v));
    Append16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace LittleEndian
