#include "package/PeImage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "system/LittleEndian.h"

namespace PeImage {
namespace {

using LittleEndian::Load16;
using LittleEndian::Load32;

// Reads exactly `count` bytes at `position`; false when the source is shorter.
bool ReadAt(ByteSource& source, std::uint64_t position, void* buffer, std::size_t count) {
    if (position + count > source.Size()) return false;
    source.Seek(position);
    source.ReadExact(buffer, count);
    return true;
}

constexpr std::uint16_t Pe32Magic = 0x10B;
constexpr std::uint16_t Pe32PlusMagic = 0x20B;
constexpr std::uint32_t CoffHeaderSize = 20;
constexpr std::uint32_t SectionHeaderSize = 40;
constexpr std::uint32_t DirectoryOffsetInOptional = 96;  // PE32

bool ReadSections(ByteSource& source, std::uint32_t tableOffset, unsigned count, Layout& layout) {
    for (unsigned i = 0; i < count; ++i) {
        std::array<std::uint8_t, SectionHeaderSize> h{};
        const std::uint32_t at = tableOffset + i * SectionHeaderSize;
        if (!ReadAt(source, at, h.data(), h.size())) return false;
        Section s;
        std::size_t len = 0;
        while (len < 8 && h[len] != 0) ++len;
        s.name.assign(reinterpret_cast<const char*>(h.data()), len);
        s.virtualSize = Load32(&h[8]);
        s.virtualAddress = Load32(&h[12]);
        s.rawSize = Load32(&h[16]);
        s.rawOffset = Load32(&h[20]);
        s.characteristics = Load32(&h[36]);
        s.headerOffset = at;
        layout.sections.push_back(std::move(s));
    }
    return true;
}

}  // namespace

std::uint32_t Layout::DirectoryEntryOffset(unsigned index) const {
    return index < directoryCount ? directoryOffset + index * 8 : 0;
}

std::uint32_t Layout::EndOfSections() const {
    std::uint32_t end = sizeOfHeaders;
    for (const Section& s : sections)
        if (s.rawSize != 0 && s.rawOffset + s.rawSize > end) end = s.rawOffset + s.rawSize;
    return end;
}

namespace {

// The headers up to the data directory; sections are left to the caller.
std::optional<Layout> ReadHeaders(ByteSource& source, unsigned& sectionCount, std::uint32_t& sectionTable) {
    std::array<std::uint8_t, 64> dos{};
    if (!ReadAt(source, 0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    Layout layout;
    layout.peOffset = Load32(&dos[60]);
    std::array<std::uint8_t, 4 + CoffHeaderSize> coff{};
    if (!ReadAt(source, layout.peOffset, coff.data(), coff.size())) return std::nullopt;
    if (Load32(coff.data()) != 0x00004550) return std::nullopt;  // "PE\0\0"
    sectionCount = Load16(&coff[6]);
    const std::uint32_t optionalSize = Load16(&coff[20]);
    layout.optionalOffset = layout.peOffset + 4 + CoffHeaderSize;
    if (optionalSize < DirectoryOffsetInOptional) return std::nullopt;
    std::array<std::uint8_t, DirectoryOffsetInOptional> opt{};
    if (!ReadAt(source, layout.optionalOffset, opt.data(), opt.size())) return std::nullopt;
    if (Load16(opt.data()) != Pe32Magic) return std::nullopt;
    layout.sectionAlignment = Load32(&opt[32]);
    layout.fileAlignment = Load32(&opt[36]);
    layout.sizeOfImage = Load32(&opt[56]);
    layout.sizeOfHeaders = Load32(&opt[60]);
    layout.checksumOffset = layout.optionalOffset + 64;
    layout.directoryOffset = layout.optionalOffset + DirectoryOffsetInOptional;
    const std::uint32_t declared = Load32(&opt[92]);
    const std::uint32_t room = (optionalSize - DirectoryOffsetInOptional) / 8;
    layout.directoryCount = declared < room ? declared : room;
    sectionTable = layout.optionalOffset + optionalSize;
    return layout;
}

}  // namespace

std::optional<Layout> ReadLayout(ByteSource& source) {
    unsigned sectionCount = 0;
    std::uint32_t sectionTable = 0;
    std::optional<Layout> layout = ReadHeaders(source, sectionCount, sectionTable);
    if (!layout || !ReadSections(source, sectionTable, sectionCount, *layout)) return std::nullopt;
    return layout;
}

std::optional<SignatureFields> ReadSignatureFields(ByteSource& source) {
    std::array<std::uint8_t, 64> dos{};
    if (!ReadAt(source, 0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = Load32(&dos[60]);
    std::array<std::uint8_t, 4 + CoffHeaderSize> coff{};
    if (!ReadAt(source, pe, coff.data(), coff.size()) || Load32(coff.data()) != 0x00004550) return std::nullopt;
    const std::uint64_t optional = pe + coff.size();
    std::array<std::uint8_t, 2> magic{};
    if (!ReadAt(source, optional, magic.data(), magic.size())) return std::nullopt;
    // PE32+ has 16 more bytes of fields before its data directory.
    std::uint32_t directory = 0;
    if (Load16(magic.data()) == Pe32Magic) directory = DirectoryOffsetInOptional;
    else if (Load16(magic.data()) == Pe32PlusMagic) directory = DirectoryOffsetInOptional + 16;
    else return std::nullopt;
    std::array<std::uint8_t, 8> entry{}, count{};
    const std::uint64_t entryAt = optional + directory + CertificateDirectory * 8;
    if (!ReadAt(source, entryAt, entry.data(), entry.size()) ||
        !ReadAt(source, optional + directory - 4, count.data(), 4))
        return std::nullopt;
    SignatureFields fields;
    fields.checksumOffset = optional + 64;
    fields.entryOffset = entryAt;
    fields.entry = {Load32(entry.data()), Load32(&entry[4])};
    const std::uint32_t optionalSize = Load16(&coff[20]);
    fields.declared = Load32(count.data()) > CertificateDirectory && optionalSize >= entryAt + 8 - optional;
    return fields;
}

DataDirectory ReadDirectory(ByteSource& source, const Layout& layout, unsigned index) {
    const std::uint32_t at = layout.DirectoryEntryOffset(index);
    std::array<std::uint8_t, 8> e{};
    if (at == 0 || !ReadAt(source, at, e.data(), e.size())) return {};
    return {Load32(e.data()), Load32(&e[4])};
}

std::uint32_t Checksum(ByteSource& source, std::uint32_t checksumOffset) {
    const std::uint64_t size = source.Size();
    TChecksum checksum(checksumOffset);
    std::array<std::uint8_t, 1 << 16> chunk{};
    source.Seek(0);
    ReadChunks(source, size, chunk, [&](const std::uint8_t* bytes, std::size_t count) { checksum.Add(bytes, count); });
    return checksum.Value();
}

void TChecksum::Add(const void* bytes, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    // A word's low byte sits at an even position of the file, its high byte after it.
    auto weight = [&](std::uint64_t at) -> std::uint64_t { return at % 2 == 0 ? 1 : 256; };
    std::uint64_t sum = 0;
    std::size_t i = 0;
    if (length_ % 2 != 0 && count > 0) sum += std::uint64_t(p[i++]) << 8;
    // Four words a step in two 32-bit lanes, emptied before they can overflow.
    static_assert(std::endian::native == std::endian::little, "words are read in the host's order");
    while (count - i >= 8) {
        const std::size_t steps = std::min<std::size_t>((count - i) / 8, 1 << 14);
        std::uint64_t lanes = 0;
        for (std::size_t k = 0; k < steps; ++k, i += 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            lanes += (w & 0x0000FFFF0000FFFFull) + (w >> 16 & 0x0000FFFF0000FFFFull);
        }
        sum += (lanes & 0xFFFFFFFF) + (lanes >> 32);
    }
    for (; i + 1 < count; i += 2) sum += Load16(p + i);
    if (i < count) sum += p[i];
    // The CheckSum field counts as zero: take back what of it this piece held.
    for (std::uint64_t at = field_; at < field_ + 4; ++at)
        if (at >= length_ && at < length_ + count) sum -= p[at - length_] * weight(at);
    sum_ += sum;
    length_ += count;
}

std::uint32_t TChecksum::Value() const {
    std::uint64_t sum = sum_;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + length_);
}

}  // namespace PeImage
