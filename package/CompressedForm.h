// The compressed package form. It keeps the plain layout's 552-byte trailer,
// but the trailer's magic reads "qzc", so that a reader of the plain layout
// finds no package in it; the file data is one zstd stream and the four
// tables one zstd frame. A 32-byte stream record ends where the tables frame
// begins (at FileOffset); it locates the stream, a table of each file's
// CRC-32 and the frame's size:
//
//   [stub] [stream] [CRC-32 per file record] [stream record] [tables frame]
//   [trailer "qzc"]
//
// The trailer's table offsets are those the tables would have if the frame
// were decoded in its place: the four tables follow each other from
// FileOffset on, in the order files, folders, shell items, registry values.
// A file record's Offset and Size count in the decoded data, where each
// distinct content lies once, in the order of its first use in the file
// table.
//
// A record whose bytes are the next ones of the decoded data takes them from
// the stream; one whose bytes lie wholly before (the same content as an
// earlier record's) is a copy of the latest earlier record with the same
// Offset and Size: the setup program reads it back from that record's target,
// which the packaging tool has made sure no record in between replaces, and
// checks its CRC-32 on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "package/RecordHead.h"
#include "system/ByteStream.h"

namespace CompressedForm {

inline constexpr std::string_view Magic = "qzc";
// The stream and the tables frame are zstd frames. The earlier form, "zst",
// kept the tables plain; it is refused rather than read as this one.
inline constexpr std::string_view Codec = "zst2";
// The decoder keeps at most 2^25 bytes of window: the stream's writer uses
// no larger one and the reader refuses a stream that asks for more.
inline constexpr std::uint32_t MaxWindowLog = 25;
// The setup program holds the decoded tables in memory: at most 128 MiB of
// them (over 170,000 file records). Larger ones are refused before anything
// is allocated for them; the packaging tool does not write them.
inline constexpr std::uint64_t MaxTablesSize = 128u << 20;
// No zstd frame decodes to more than this many bytes per byte of it (a
// 4-byte block of one repeated byte gives at most 128 KiB): counts that ask
// for more than the frame's size can hold are refused before allocating.
inline constexpr std::uint64_t MaxFrameRatio = 32768;

#pragma pack(push, 1)
struct TStreamRecord {
    RecordHead::TextField<4> Codec;      // "zst"
    RecordHead::LEUInt32 WindowLog;      // the window the stream was written with
    RecordHead::LEUInt32 StreamOffset;   // where the compressed bytes begin
    RecordHead::LEUInt32 StreamSize;     // how many there are
    RecordHead::LEUInt32 DataSize;       // bytes they decode to
    RecordHead::LEUInt32 CrcOffset;      // FileCount CRC-32 values, one per file record
    RecordHead::LEUInt32 TablesSize;     // the tables frame's bytes, from FileOffset on
    RecordHead::LEUInt32 Reserved;       // zero
};
#pragma pack(pop)
static_assert(sizeof(TStreamRecord) == 32);

// True when the magic reads exactly "qzc" (bytes 0..3 up to the first NUL).
inline bool IsCompressedHeader(const RecordHead::TPackHeader& header) { return header.Magic.Text() == Magic; }
// Either form's trailer.
inline bool IsAnyPackageHeader(const RecordHead::TPackHeader& header) {
    return RecordHead::IsValidHeader(header) || IsCompressedHeader(header);
}

// Where the stream record lies: right before the tables frame. Raises
// EReadError when the frame starts too early for one.
std::uint32_t StreamRecordOffset(const RecordHead::TPackHeader& header);

// The bytes the decoded tables take: the four tables must follow each other
// from FileOffset on, with counts of zero or more. Raises ERangeError for a
// negative count, EReadError for tables that do not follow each other or
// come to more than MaxTablesSize.
std::uint64_t DecodedTablesSize(const RecordHead::TPackHeader& header);

// Reads and checks the stream record and the CRC table of a compressed
// package of `fileSize` bytes: codec, window, every range inside the file,
// and decoded tables that the frame's size can hold. Raises EReadError (and
// ERangeError, as DecodedTablesSize) for anything else.
struct TStreamInfo {
    TStreamRecord Record{};
    std::vector<std::uint32_t> Crcs;  // one per file record
};
TStreamInfo ReadStreamInfo(ByteSource& source, std::uint64_t fileSize, const RecordHead::TPackHeader& header);

// Where each file record's bytes come from while the records are installed
// in table order.
struct TFileSource {
    enum Kind : std::uint8_t { Empty, Stream, Copy } How = Empty;
    std::size_t From = 0;  // Copy: the earlier record whose target holds the bytes
};
// Raises EReadError when a record's bytes are neither the next ones of the
// data nor an earlier record's, or reach past `dataSize`.
std::vector<TFileSource> PlanSources(std::span<const RecordHead::TFileItem> files, std::uint32_t dataSize);

// CRC-32 as zlib computes it (reflected polynomial 0xEDB88320): `crc` is the
// value of the bytes before, 0 to begin.
std::uint32_t Crc32(std::uint32_t crc, const void* bytes, std::size_t size);

}  // namespace CompressedForm
