#include "tests/tools/pe/PeTestImage.h"

#include <cstring>

#include "package/PeImage.h"

namespace {

std::uint32_t Align(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }

void PutSection(Bytes& b, unsigned index, const char* name, std::uint32_t va, std::uint32_t virtualSize,
                std::uint32_t rawOffset, std::uint32_t rawSize) {
    const std::size_t at = TPeTestImage::SectionTable + index * 40;
    std::memcpy(&b[at], name, std::strlen(name));
    Store32(b, at + 8, virtualSize);
    Store32(b, at + 12, va);
    Store32(b, at + 16, rawSize);
    Store32(b, at + 20, rawOffset);
    Store32(b, at + 36, 0x40000040);  // initialised data, readable
}

}  // namespace

Bytes SmallPeImage(const std::vector<ResourceEditor::TResource>& resources, const Bytes& overlay) {
    using T = TPeTestImage;
    Bytes rsrc = ResourceEditor::WriteResourceSection(resources, T::ResourceRva);
    const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
    const std::uint32_t rsrcRaw = Align(rsrcSize, 0x200);
    const std::uint32_t relocVa = Align(T::ResourceRva + rsrcSize, 0x1000);
    const Bytes reloc = T::Relocations();

    Bytes b(0x600, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Store32(b, 60, T::PeOffset);
    std::memcpy(&b[T::PeOffset], "PE\0\0", 4);
    Store16(b, T::PeOffset + 4, 0x14C);
    Store16(b, T::PeOffset + 6, 3);
    Store16(b, T::PeOffset + 20, 224);
    const std::size_t opt = T::OptionalOffset;
    Store16(b, opt, 0x10B);
    Store32(b, opt + 8, rsrcRaw + 0x200);  // initialised data: .rsrc and .reloc
    Store32(b, opt + 32, 0x1000);
    Store32(b, opt + 36, 0x200);
    Store32(b, opt + 56, relocVa + 0x1000);
    Store32(b, opt + 60, 0x400);
    Store32(b, opt + 92, 16);
    Store32(b, opt + 96 + 2 * 8, T::ResourceRva);
    Store32(b, opt + 96 + 2 * 8 + 4, rsrcSize);
    Store32(b, opt + 96 + 5 * 8, relocVa);
    Store32(b, opt + 96 + 5 * 8 + 4, static_cast<std::uint32_t>(reloc.size()));
    PutSection(b, 0, ".text", 0x1000, 0x10, 0x400, 0x200);
    PutSection(b, 1, ".rsrc", T::ResourceRva, rsrcSize, 0x600, rsrcRaw);
    PutSection(b, 2, ".reloc", relocVa, static_cast<std::uint32_t>(reloc.size()), 0x600 + rsrcRaw, 0x200);
    std::memset(&b[0x400], 0xC3, 0x10);  // ret
    rsrc.resize(rsrcRaw, 0);
    b.insert(b.end(), rsrc.begin(), rsrc.end());
    Bytes relocRaw = reloc;
    relocRaw.resize(0x200, 0);
    b.insert(b.end(), relocRaw.begin(), relocRaw.end());
    MemorySource source(b);
    Store32(b, opt + 64, PeImage::Checksum(source, opt + 64));
    b.insert(b.end(), overlay.begin(), overlay.end());
    return b;
}
