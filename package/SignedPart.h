// Where the package of a signed setup executable lies. An Authenticode
// signature covers the file up to its certificate table, which ends the file,
// except two header fields (CheckSum and the table's directory entry).
// A package built and then signed keeps its trailer right before that table
// (after at most 7 zero bytes that align the table); sealing puts a copy of
// it into the last 552 bytes, inside the signature's unauthenticated part.
// The setup program installs only what the signed part holds.
//
// The certificate table is read here once, for the setup program and for
// makesetup alike, as the signature's verifiers read it: anything they would
// read otherwise, or that neither accounts for, makes the file refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "system/ByteStream.h"
#include "package/RecordHead.h"

namespace SignedPart {

// The certificate table is aligned to 8 bytes; signers pad with zeros.
inline constexpr unsigned TableAlignment = 8;
// A WIN_CERTIFICATE entry: dwLength (header included), wRevision, wCertificateType.
inline constexpr std::size_t EntryHeaderSize = 8;
inline constexpr std::uint16_t CertificateRevision = 0x0200;
inline constexpr std::uint16_t PkcsSignedData = 0x0002;

// The signature of a file as its verifiers find it: the certificate table
// ends the file and holds one WIN_CERTIFICATE entry, a PKCS#7 ContentInfo
// and fewer than 8 zero bytes of padding.
struct TSignature {
    std::uint64_t TableOffset = 0;     // where the signed part ends
    std::uint64_t TableSize = 0;       // as the directory entry gives it: to the end of the file
    std::uint64_t EntryLength = 0;     // the entry's dwLength
    std::uint64_t ContentSize = 0;     // the ContentInfo's DER, at TableOffset + EntryHeaderSize
    std::uint64_t ChecksumOffset = 0;  // the two header fields the digest leaves out
    std::uint64_t EntryOffset = 0;

    // True when the `size` bytes at `offset` lie inside the signed part and
    // none of them is one the digest leaves out.
    bool Covers(std::uint64_t offset, std::uint64_t size) const;
};

// Why a file's signature cannot be read as its verifiers read it.
enum class TProblem {
    None,
    ReadTwoWays,       // the entry lies where the headers declare none
    TableInHeaders,    // the table starts before the entry ends
    TablePastEnd,      // the table reaches past the end of the file
    DataAfterTable,    // bytes follow the table
    NotPkcs7,          // no PKCS#7 WIN_CERTIFICATE entry holding a DER SEQUENCE
    LengthMismatch,    // the entry's length does not fit its signature and the table
    UnaccountedBytes,  // 8 or more bytes after the signature: a second entry, or other data
    PaddingNotZeros,
};

struct TReading {
    std::optional<TSignature> Signature;  // nothing for a file without one, or with a problem
    TProblem Problem = TProblem::None;    // then the file is refused
    TSignature Entry;                     // what was read of it, for the problem's description
};

// The file's signature. A PE image whose certificate entry is all zeros, or
// bytes that are no PE image, carry none.
TReading Read(ByteSource& source);

// The problem in words, with the offsets and sizes read (for makesetup).
std::string ProblemText(const TReading& reading, std::uint64_t fileSize);

// The offset of the package trailer kept inside the signed part: 552 bytes
// with either form's magic, covered by the signature, that end at the table or
// before zero bytes that reach it. With `equalTo`, only a trailer equal to
// it counts. Nothing when none.
std::optional<std::uint64_t> FindTrailer(ByteSource& source, const TSignature& signature,
                                         const RecordHead::TPackHeader* equalTo = nullptr);

// The signature of a setup executable whose trailer, `header`, is a package's
// (`isPackage`) or not, as the package reader needs it: nothing when the file
// is not signed. Raises ESignatureError when the signature cannot be read as
// Windows reads it, when a package's trailer is not the copy kept inside the
// signed part, or when a file without a package at its end was signed after
// its package was built and never sealed. The setup program and makesetup
// hand it to the package reader; the uninstaller does without it.
std::optional<TSignature> OfPackage(ByteSource& source, const RecordHead::TPackHeader& header, bool isPackage);

// Raises ESignatureError with `text` (an ErrorText): what the package
// readers raise for a signed file they will not trust.
[[noreturn]] void Refuse(std::string_view text);

}  // namespace SignedPart
