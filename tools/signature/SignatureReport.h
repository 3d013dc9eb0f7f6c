// What `verify` and `list` say about a signed setup executable: who signed
// it, whether the signature's file digest matches the file, whether it is
// sealed, and whether the package lies inside the signed part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/RecordHead.h"
#include "package/SignedPart.h"
#include "system/ByteStream.h"

struct TSignatureCheck {
    std::string Subject;                      // the signer's subject
    std::optional<SignedPart::TSignature> Part;  // the signed part; nothing when the table cannot be read
    std::optional<std::uint64_t> TrailerCopy; // the package trailer inside the signed part
    bool Sealed = false;                      // the last 552 bytes equal that trailer
    std::vector<std::string> Problems;        // the signature's own: unreadable, digest mismatch
    std::string Summary;                      // "signed by ...; its SHA-256 digest matches the file"
};

// Nothing for a file without a signature. A certificate table its verifiers
// would read otherwise, or that holds more than one signature, is a problem
// (the setup program refuses such a file whole).
std::optional<TSignatureCheck> CheckSignature(ByteSource& file);

// Problems with a package in a signed file: a trailer that is not the signed
// copy, tables or file data past the start of the signature or over a header
// field the signature leaves out.
std::vector<std::string> CheckSignedPackage(ByteSource& file, const RecordHead::TPackHeader& trailer,
                                            const TSignatureCheck& signature);

// The line `list` shows: "CN=..., sealed", "CN=..., not sealed", or "none".
std::string SignerText(ByteSource& file);
