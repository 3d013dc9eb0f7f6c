// Just enough DER to walk and rebuild a PKCS#7 signature: elements with a
// one-byte tag and a definite length, their children, and the encoding of
// a tag and length in front of new content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace Der {

using Bytes = std::vector<std::uint8_t>;
using View = std::span<const std::uint8_t>;

inline constexpr std::uint8_t Integer = 0x02;
inline constexpr std::uint8_t OctetString = 0x04;
inline constexpr std::uint8_t Oid = 0x06;
inline constexpr std::uint8_t Sequence = 0x30;
inline constexpr std::uint8_t Set = 0x31;
// A context-specific constructed tag, [n].
constexpr std::uint8_t Context(unsigned n) { return std::uint8_t(0xA0 | n); }

// Raised for bytes that are not DER this reader takes.
class EDerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One element, as offsets into the bytes it was read from.
struct Element {
    std::uint8_t tag = 0;
    std::size_t start = 0;    // the tag byte
    std::size_t content = 0;  // the first content byte
    std::size_t end = 0;      // one past the last content byte

    std::size_t Length() const { return end - content; }
    View Content(View bytes) const { return bytes.subspan(content, end - content); }
    View Whole(View bytes) const { return bytes.subspan(start, end - start); }
};

// The element at `at`, which must end by `limit`.
Element Read(View bytes, std::size_t at, std::size_t limit);
// The elements that make up the content of `parent`, which they must fill.
std::vector<Element> Children(View bytes, const Element& parent);
// The first child of `parent` with `tag`, or the parent's own end as an
// element of tag 0 when there is none.
Element Find(View bytes, const Element& parent, std::uint8_t tag);

// Tag and length for `length` content bytes, and their size.
Bytes Head(std::uint8_t tag, std::size_t length);
std::size_t HeadSize(std::size_t length);
// `content` with its tag and length in front.
Bytes Wrap(std::uint8_t tag, View content);

// An object identifier's content as dotted text ("1.2.840.113549").
std::string OidText(View content);

}  // namespace Der
