// Where the package of a signed setup executable lies. An Authenticode
// signature covers the file up to its certificate table, which ends the file.
// A package built and then signed keeps its trailer right before that table
// (after at most 7 zero bytes that align the table); sealing puts a copy of
// it into the last 552 bytes, inside the signature's unauthenticated part.
// The setup program installs only what the signed part holds.
#pragma once

#include <cstdint>
#include <optional>

#include "system/ByteStream.h"
#include "package/RecordHead.h"

namespace SignedPart {

// The certificate table is aligned to 8 bytes; signers pad with zeros.
inline constexpr unsigned TableAlignment = 8;

// Where the signed part ends (the certificate table's offset); nothing when
// the file carries no certificate table or the table lies outside it.
std::optional<std::uint64_t> End(ByteSource& source);

// The offset of the package trailer kept inside the signed part: 552 bytes
// with a valid magic that end at `signedEnd` or before zero bytes that reach
// it. With `equalTo`, only a trailer equal to it counts. Nothing when none.
std::optional<std::uint64_t> FindTrailer(ByteSource& source, std::uint64_t signedEnd,
                                         const RecordHead::TPackHeader* equalTo = nullptr);

}  // namespace SignedPart
