// A small PE32 image laid out as our linker lays out the setup program:
// headers, .text, .rsrc, then .reloc, for the tests of the resource editor
// and of builds from a real-looking stub.
#pragma once

#include <cstdint>
#include <vector>

#include "system/LittleEndian.h"
#include "tests/support/TestFiles.h"
#include "tools/pe/ResourceEditor.h"

struct TPeTestImage {
    static constexpr std::uint32_t PeOffset = 0x80;
    static constexpr std::uint32_t OptionalOffset = PeOffset + 24;
    static constexpr std::uint32_t SectionTable = OptionalOffset + 224;
    static constexpr std::uint32_t ResourceRva = 0x2000;
    // The base relocations .reloc holds: one block for the page at 0x1000.
    static Bytes Relocations() { return {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x10, 0x30, 0, 0}; }
};

// The image with `resources`, followed by `overlay`; its checksum is right.
Bytes SmallPeImage(const std::vector<ResourceEditor::TResource>& resources, const Bytes& overlay = {});

// The tests of images read and patch header fields with these.
using LittleEndian::Load16;
using LittleEndian::Load32;
using LittleEndian::Store16;
using LittleEndian::Store32;
