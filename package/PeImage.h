// The layout of a 32-bit PE image as far as packages need it: the optional
// header's CheckSum field, the data directory (resources, certificate table)
// and the section table, and the image checksum. Portable and read-only: the
// setup program reads its own file with it, makesetup the copies it edits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/ByteStream.h"

namespace PeImage {

// Indexes into the optional header's data directory.
inline constexpr unsigned ResourceDirectory = 2;
inline constexpr unsigned CertificateDirectory = 4;  // a file offset, not an RVA

struct DataDirectory {
    std::uint32_t address = 0;  // an RVA, or a file offset for the certificate table
    std::uint32_t size = 0;
};

struct Section {
    std::string name;  // up to 8 characters
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t characteristics = 0;
    std::uint32_t headerOffset = 0;  // file offset of this entry in the section table
};

struct Layout {
    std::uint32_t peOffset = 0;         // file offset of "PE\0\0"
    std::uint32_t optionalOffset = 0;   // file offset of the optional header
    std::uint32_t checksumOffset = 0;   // file offset of CheckSum
    std::uint32_t directoryOffset = 0;  // file offset of the data directory
    std::uint32_t directoryCount = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t sizeOfImage = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::vector<Section> sections;

    // File offset of directory entry `index`; 0 when the image has none.
    std::uint32_t DirectoryEntryOffset(unsigned index) const;
    // The file offset where the last section's raw data ends.
    std::uint32_t EndOfSections() const;
};

// The layout of a PE32 (not PE32+) image; nothing when the bytes are not one
// or its headers reach past the end. Read errors of the source propagate.
std::optional<Layout> ReadLayout(ByteSource& source);

// Directory entry `index`, or an empty one when the image has fewer entries.
DataDirectory ReadDirectory(ByteSource& source, const Layout& layout, unsigned index);

// The header fields an Authenticode signature leaves out of its digest, where
// its verifiers read them: CheckSum, and the certificate table entry at its
// fixed place in the optional header (index 4), whatever the headers declare.
struct SignatureFields {
    std::uint64_t checksumOffset = 0;  // file offset of CheckSum
    std::uint64_t entryOffset = 0;     // file offset of the certificate table entry
    DataDirectory entry;               // what that entry holds
    // The headers' own sizes (SizeOfOptionalHeader, NumberOfRvaAndSizes)
    // include the entry; when they do not, its bytes are something else too.
    bool declared = false;
};

// The signature fields of a PE32 or PE32+ image; nothing when the bytes are
// not one or its optional header reaches past the end.
std::optional<SignatureFields> ReadSignatureFields(ByteSource& source);

// The image checksum as Windows computes it: 16-bit one's-complement-style sum
// of the whole file with the CheckSum field taken as zero, plus the length.
std::uint32_t Checksum(ByteSource& source, std::uint32_t checksumOffset);

// The same checksum fed with the file's bytes in order, in pieces of any size.
class TChecksum {
public:
    explicit TChecksum(std::uint32_t checksumOffset) : field_(checksumOffset) {}
    void Add(const void* bytes, std::size_t count);
    // The checksum of the bytes fed so far.
    std::uint32_t Value() const;

private:
    std::uint64_t field_;
    std::uint64_t length_ = 0;
    std::uint64_t sum_ = 0;  // folded only at the end: the same result, fewer steps
};

}  // namespace PeImage
