// The Authenticode signature of a PE file as makesetup reads it: the one
// WIN_CERTIFICATE entry of its certificate table, found by SignedPart as the
// setup program finds it, the path down its PKCS#7 SignedData to the last
// SignerInfo, the signer's subject and the file digest the signature
// records, and that digest computed over the file. No certificate chain is
// validated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/SignedPart.h"
#include "system/ByteStream.h"
#include "tools/signature/Der.h"
#include "tools/signature/Digest.h"

namespace Authenticode {

using SignedPart::CertificateRevision;
using SignedPart::EntryHeaderSize;  // dwLength, wRevision, wCertificateType
using SignedPart::PkcsSignedData;

struct TSignedImage {
    SignedPart::TSignature Signature;  // the table, and the header fields the digest leaves out
    Der::Bytes Pkcs7;                  // the entry's ContentInfo, exactly as long as its DER says
};

// The file's signature; nothing when it carries none. Raises
// ESignatureFormat for one its verifiers would read otherwise, or not at
// all (SignedPart's problem in words), and EDerError for an entry whose
// ContentInfo is not DER.
std::optional<TSignedImage> ReadSignedImage(ByteSource& file);
// The same for the signature SignedPart found.
TSignedImage ReadSignedImage(ByteSource& file, const SignedPart::TSignature& signature);

// The elements from the ContentInfo down to the last SignerInfo: each one
// the last element of the one before, so they all end where the DER ends.
struct TSignerPath {
    Der::Element ContentInfo, Explicit, SignedData, SignerInfos, SignerInfo;
};
// Raises ESignatureFormat (or EDerError) when the bytes are not a
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
