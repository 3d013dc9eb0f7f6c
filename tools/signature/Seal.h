// Sealing a setup executable that was signed after it was built: the
// package's tables and file data stay inside the signed part, and a copy of
// its 552-byte trailer becomes the last 552 bytes of the file again, as the
// content of an unauthenticated attribute of the last SignerInfo. The DER
// lengths, the WIN_CERTIFICATE length and the certificate table's size are
// arranged so that nothing follows it, and the PE checksum is recomputed.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "package/RecordHead.h"
#include "tools/signature/Der.h"

namespace Seal {

// The attribute's type: 2.25.282481488220581249708264782364082087995, an
// object identifier made from a random UUID (d483f4a8-1807-450e-9d54-
// 18128116a83b) under the arc X.667 gives every UUID, so no registry owns
// it. Its value is one OCTET STRING: zero bytes that align the table, then
// the trailer.
inline constexpr std::array<std::uint8_t, 20> AttributeOid = {0x69, 0x83, 0xA9, 0x83, 0xFA, 0xAA, 0x83, 0x80, 0xBA, 0x94,
                                                               0x9D, 0x9D, 0xAA, 0x86, 0x82, 0xA8, 0x88, 0xDA, 0xD0, 0x3B};

class ESealError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The WIN_CERTIFICATE entry (header and DER) that replaces the last one:
// `pkcs7` without an earlier seal, with a new one ending it, its length a
// multiple of 8. Raises Authenticode::ESignatureFormat or Der::EDerError for
// a signature it cannot rebuild.
Der::Bytes SealedEntry(Der::View pkcs7, const RecordHead::TPackHeader& trailer);

struct TSealResult {
    std::uint64_t Size = 0;           // of the sealed file
    std::uint64_t TrailerCopy = 0;    // where the signed trailer lies
    bool AlreadySealed = false;       // the input's bytes were the output's
};

// Writes the sealed `inPath` to `outPath` (the same path rewrites it; a
// failure leaves it as it was). Raises ESealError with the reason.
TSealResult SealFile(const std::string& inPath, const std::string& outPath);

}  // namespace Seal
