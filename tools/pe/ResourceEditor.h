// Rewrites the resources of a PE32 image: reads its resource tree into a
// plain list, and writes the image again with a new resource section built
// from that list and the headers to match (section sizes, the image size,
// the resource and relocation directories, the checksum). It edits images
// laid out as ours are and refuses the rest: the resource section must come
// last, or be followed only by the base relocations, which move with it.
#pragma once

#include <compare>
#include <span>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/PeImage.h"

namespace ResourceEditor {

// Raised for an image this editor cannot rewrite; the message says why.
class ELayoutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A resource type or name: a number, or a text when `Text` is not empty.
struct TName {
    std::uint16_t Id = 0;
    std::u16string Text;

    static TName Number(std::uint16_t id) { return {id, {}}; }
    static TName Named(std::u16string text) { return {0, std::move(text)}; }
    bool IsNamed() const { return !Text.empty(); }
    bool operator==(const TName&) const = default;
    // The order of a resource directory: names (by their UTF-16 units), then numbers.
    std::strong_ordering operator<=>(const TName& other) const;
};

inline constexpr std::uint16_t kIconType = 3;       // RT_ICON
inline constexpr std::uint16_t kGroupIconType = 14;  // RT_GROUP_ICON
inline constexpr std::uint16_t kVersionType = 16;    // RT_VERSION

struct TResource {
    TName Type, Name;
    std::uint16_t Language = 0;
    std::uint32_t CodePage = 0;
    std::vector<std::uint8_t> Data;
};

class TResourceImage {
public:
    // Reads `image`, a whole PE32 file. Raises ELayoutError when it is not
    // one or its layout is not one this editor rewrites.
    explicit TResourceImage(std::vector<std::uint8_t> image);

    std::vector<TResource> Resources;  // as the image holds them; edit freely

    // The image with its resource section rebuilt from `Resources`, the
    // sections after it moved, and its headers and checksum to match.
    std::vector<std::uint8_t> Rebuild() const;
    // Where the image keeps its checksum.
    std::uint32_t ChecksumOffset() const { return layout_.checksumOffset; }

private:
    void CheckLayout();

    std::vector<std::uint8_t> image_;
    PeImage::Layout layout_;
    std::size_t resourceSection_ = 0;
};

// The resource section's bytes for `resources` placed at `sectionRva`:
// directory tables (types, names, languages), the name texts, the data
// entries, then the data, each entry in directory order.
std::vector<std::uint8_t> WriteResourceSection(std::vector<TResource> resources, std::uint32_t sectionRva);

// The resources of a resource section's bytes whose tree starts at byte
// `treeOffset` and which is placed at `sectionRva`. Raises ELayoutError for
// a tree that reaches outside the bytes or is not three levels deep.
std::vector<TResource> ReadResourceSection(std::span<const std::uint8_t> section, std::uint32_t treeOffset,
                                           std::uint32_t sectionRva);

}  // namespace ResourceEditor
