// The Authenticode signature of a PE file as makesetup reads it: the
// certificate table and its WIN_CERTIFICATE entries, the path down the
// PKCS#7 SignedData of the last entry to its last SignerInfo, the signer's
// subject and the file digest the signature records, and that digest
// computed over the file. No certificate chain is validated.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/PeImage.h"
#include "system/ByteStream.h"
#include "tools/signature/Der.h"
#include "tools/signature/Digest.h"

namespace Authenticode {

inline constexpr std::uint16_t CertificateRevision = 0x0200;
inline constexpr std::uint16_t PkcsSignedData = 0x0002;
inline constexpr std::size_t EntryHeaderSize = 8;  // dwLength, wRevision, wCertificateType

// Raised for a certificate table or signature this tool cannot read.
class ESignatureFormat : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSignedImage {
    PeImage::Layout Layout;
    std::uint64_t TableOffset = 0;      // the certificate table: where the signed part ends
    std::uint64_t TableSize = 0;        // as the data directory gives it
    std::uint64_t LastEntryOffset = 0;  // the last WIN_CERTIFICATE, the one sealing rewrites
    Der::Bytes Pkcs7;                   // its ContentInfo, exactly as long as its DER says
};

// The file's signature; nothing when it carries no certificate table.
// Raises ESignatureFormat for a table that is not well formed.
std::optional<TSignedImage> ReadSignedImage(ByteSource& file);

// The elements from the ContentInfo down to the last SignerInfo: each one
// the last element of the one before, so they all end where the DER ends.
struct TSignerPath {
    Der::Element ContentInfo, Explicit, SignedData, SignerInfos, SignerInfo;
};
// Raises ESignatureFormat (or Der::EDerError) when the bytes are not a
// SignedData ending in a SignerInfo.
TSignerPath FindLastSigner(Der::View pkcs7);

struct TSignatureInfo {
    std::string Subject;  // the signer's certificate subject, most specific first: "CN=..., O=..."
    std::optional<DigestKind> Digest;
    Der::Bytes RecordedDigest;      // the file digest in the SpcIndirectDataContent
    bool AttributesMatch = false;   // the signed messageDigest attribute covers that content
};
TSignatureInfo ReadSignatureInfo(Der::View pkcs7);

// The Authenticode digest of the file: every byte before the certificate
// table except the CheckSum field and the certificate table's directory entry.
Der::Bytes FileDigest(ByteSource& file, const TSignedImage& image, DigestKind kind);

}  // namespace Authenticode
