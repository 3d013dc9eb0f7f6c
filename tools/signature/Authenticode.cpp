#include "tools/signature/Authenticode.h"

#include <algorithm>
#include <array>

namespace Authenticode {
namespace {

using Der::Element;
using Der::View;

constexpr std::uint64_t kMaxSignature = 64u << 20;  // far above any signature; keeps a bad entry from costing memory

// 1.2.840.113549.1.7.2, 1.3.6.1.4.1.311.2.1.4, 1.2.840.113549.1.9.4
constexpr std::array<std::uint8_t, 9> kSignedDataOid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
constexpr std::array<std::uint8_t, 10> kIndirectDataOid = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
constexpr std::array<std::uint8_t, 9> kMessageDigestOid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};

template <std::size_t N>
bool Is(View bytes, const Element& e, const std::array<std::uint8_t, N>& oid) {
    const View content = e.Content(bytes);
    return e.tag == Der::Oid && std::equal(content.begin(), content.end(), oid.begin(), oid.end());
}

const Element& Expect(const std::vector<Element>& elements, std::size_t index, std::uint8_t tag, const char* what) {
    if (index >= elements.size() || elements[index].tag != tag)
        throw ESignatureFormat(std::string("the signature has no ") + what + " where one belongs");
    return elements[index];
}

bool SameBytes(View a, View b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }

// Short names for the usual name attributes; others as dotted numbers.
std::string AttributeName(View oid) {
    static const struct {
        const char* Name;
        std::array<std::uint8_t, 9> Oid;
        std::size_t Size;
    } kNames[] = {{"CN", {0x55, 0x04, 0x03}, 3}, {"C", {0x55, 0x04, 0x06}, 3},  {"L", {0x55, 0x04, 0x07}, 3},
                  {"ST", {0x55, 0x04, 0x08}, 3}, {"O", {0x55, 0x04, 0x0A}, 3},  {"OU", {0x55, 0x04, 0x0B}, 3},
                  {"E", {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01}, 9}};
    for (const auto& n : kNames)
        if (oid.size() == n.Size && std::equal(oid.begin(), oid.end(), n.Oid.begin())) return n.Name;
    return Der::OidText(oid);
}

// A directory string as UTF-8: BMPString is UCS-2, the others are taken as they are.
std::string StringValue(View bytes, const Element& value) {
    const View content = value.Content(bytes);
    if (value.tag != 0x1E) return std::string(content.begin(), content.end());
    std::string text;
    for (std::size_t i = 0; i + 1 < content.size(); i += 2) {
        const unsigned c = unsigned(content[i]) << 8 | content[i + 1];
        if (c < 0x80) {
            text += char(c);
        } else if (c < 0x800) {
            text += char(0xC0 | c >> 6);
            text += char(0x80 | (c & 0x3F));
        } else {
            text += char(0xE0 | c >> 12);
            text += char(0x80 | (c >> 6 & 0x3F));
            text += char(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// An X.501 Name, most specific part first (as RFC 4514 writes it).
std::string NameText(View bytes, const Element& name) {
    std::vector<std::string> parts;
    for (const Element& rdn : Der::Children(bytes, name))
        for (const Element& pair : Der::Children(bytes, rdn)) {
            const std::vector<Element> typeAndValue = Der::Children(bytes, pair);
            if (typeAndValue.size() != 2 || typeAndValue[0].tag != Der::Oid) continue;
            parts.push_back(AttributeName(typeAndValue[0].Content(bytes)) + "=" + StringValue(bytes, typeAndValue[1]));
        }
    std::string text;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) text += (text.empty() ? "" : ", ") + *it;
    return text;
}

// The subject of the certificate the signer's issuer and serial number name.
std::string SignerSubject(View bytes, const std::vector<Element>& signedData, const Element& sid) {
    if (sid.tag != Der::Sequence) return "(a signer named by key identifier)";
    const std::vector<Element> issuerAndSerial = Der::Children(bytes, sid);
    if (issuerAndSerial.size() != 2) return "(unknown)";
    for (const Element& part : signedData) {
        if (part.tag != Der::Context(0)) continue;
        for (const Element& certificate : Der::Children(bytes, part)) {
            if (certificate.tag != Der::Sequence) continue;
            const std::vector<Element> parts = Der::Children(bytes, certificate);
            if (parts.empty() || parts[0].tag != Der::Sequence) continue;
            const std::vector<Element> tbs = Der::Children(bytes, parts[0]);
            const std::size_t first = !tbs.empty() && tbs[0].tag == Der::Context(0) ? 1 : 0;
            if (tbs.size() < first + 6) continue;
            if (SameBytes(tbs[first].Whole(bytes), issuerAndSerial[1].Whole(bytes)) &&
                SameBytes(tbs[first + 2].Whole(bytes), issuerAndSerial[0].Whole(bytes)))
                return NameText(bytes, tbs[first + 4]);
        }
    }
    return "(the signer's certificate is not in the signature)";
}

// The signed attributes' messageDigest: the hash of the signed content's
// value bytes (without its own tag and length).
bool AttributesCoverContent(View bytes, const std::vector<Element>& signer, View content) {
    if (signer.size() < 4 || signer[3].tag != Der::Context(0)) return false;
    const std::vector<Element> algorithm = Der::Children(bytes, signer[2]);
    const std::optional<DigestKind> kind = algorithm.empty() ? std::nullopt : DigestByOid(algorithm[0].Content(bytes));
    if (!kind) return false;
    for (const Element& attribute : Der::Children(bytes, signer[3])) {
        const std::vector<Element> parts = Der::Children(bytes, attribute);
        if (parts.size() != 2 || !Is(bytes, parts[0], kMessageDigestOid)) continue;
        const std::vector<Element> values = Der::Children(bytes, parts[1]);
        if (values.size() != 1 || values[0].tag != Der::OctetString) return false;
        TDigest digest(*kind);
        digest.Update(content.data(), content.size());
        return SameBytes(digest.Final(), values[0].Content(bytes));
    }
    return false;
}

void Hash(ByteSource& file, std::uint64_t from, std::uint64_t to, TDigest& digest, std::vector<std::uint8_t>& buffer) {
    file.Seek(from);
    for (std::uint64_t at = from; at < to;) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), to - at));
        file.ReadExact(buffer.data(), chunk);
        digest.Update(buffer.data(), chunk);
        at += chunk;
    }
}

}  // namespace

std::optional<TSignedImage> ReadSignedImage(ByteSource& file) {
    const SignedPart::TReading reading = SignedPart::Read(file);
    if (reading.Problem != SignedPart::TProblem::None)
        throw ESignatureFormat(SignedPart::ProblemText(reading, file.Size()));
    if (!reading.Signature) return std::nullopt;
    return ReadSignedImage(file, *reading.Signature);
}

TSignedImage ReadSignedImage(ByteSource& file, const SignedPart::TSignature& signature) {
    // SignedPart bounds the DER by the table, the table by the file.
    if (signature.ContentSize > kMaxSignature) throw ESignatureFormat("the signature is larger than any signature");
    TSignedImage image;
    image.Signature = signature;
    image.Pkcs7.resize(static_cast<std::size_t>(signature.ContentSize));
    file.Seek(signature.TableOffset + EntryHeaderSize);
    file.ReadExact(image.Pkcs7.data(), image.Pkcs7.size());
    (void)Der::Read(image.Pkcs7, 0, image.Pkcs7.size());  // raises EDerError for what is not DER
    return image;
}

TSignerPath FindLastSigner(View pkcs7) {
    TSignerPath path;
    path.ContentInfo = Der::Read(pkcs7, 0, pkcs7.size());
    const std::vector<Element> info = Der::Children(pkcs7, path.ContentInfo);
    if (info.empty() || !Is(pkcs7, info[0], kSignedDataOid))
        throw ESignatureFormat("the signature is not a PKCS#7 SignedData");
    path.Explicit = Expect(info, 1, Der::Context(0), "SignedData");
    if (info.size() != 2) throw ESignatureFormat("the signature's ContentInfo holds more than its content");
    path.SignedData = Der::Read(pkcs7, path.Explicit.content, path.Explicit.end);
    if (path.SignedData.end != path.Explicit.end || path.SignedData.tag != Der::Sequence)
        throw ESignatureFormat("the signature's SignedData is not one SEQUENCE");
    const std::vector<Element> signedData = Der::Children(pkcs7, path.SignedData);
    path.SignerInfos = Expect(signedData, signedData.empty() ? 0 : signedData.size() - 1, Der::Set, "SignerInfos");
    const std::vector<Element> signers = Der::Children(pkcs7, path.SignerInfos);
    path.SignerInfo = Expect(signers, signers.empty() ? 0 : signers.size() - 1, Der::Sequence, "SignerInfo");
    return path;
}

TSignatureInfo ReadSignatureInfo(View pkcs7) {
    const TSignerPath path = FindLastSigner(pkcs7);
    const std::vector<Element> signedData = Der::Children(pkcs7, path.SignedData);
    const std::vector<Element> encapsulated =
        Der::Children(pkcs7, Expect(signedData, 2, Der::Sequence, "encapsulated content"));
    if (encapsulated.size() != 2 || !Is(pkcs7, encapsulated[0], kIndirectDataOid) ||
        encapsulated[1].tag != Der::Context(0))
        throw ESignatureFormat("the signature's content is not Authenticode's SpcIndirectDataContent");
    const Element indirect = Der::Read(pkcs7, encapsulated[1].content, encapsulated[1].end);
    const std::vector<Element> indirectParts = Der::Children(pkcs7, indirect);
    const std::vector<Element> digestInfo =
        Der::Children(pkcs7, Expect(indirectParts, 1, Der::Sequence, "file digest"));
    const std::vector<Element> algorithm =
        Der::Children(pkcs7, Expect(digestInfo, 0, Der::Sequence, "digest algorithm"));

    TSignatureInfo result;
    result.Digest = DigestByOid(Expect(algorithm, 0, Der::Oid, "digest algorithm").Content(pkcs7));
    const View recorded = Expect(digestInfo, 1, Der::OctetString, "file digest").Content(pkcs7);
    result.RecordedDigest.assign(recorded.begin(), recorded.end());

    const std::vector<Element> signer = Der::Children(pkcs7, path.SignerInfo);
    if (signer.size() < 5) throw ESignatureFormat("the SignerInfo is incomplete");
    result.Subject = SignerSubject(pkcs7, signedData, signer[1]);
    result.AttributesMatch = AttributesCoverContent(pkcs7, signer, indirect.Content(pkcs7));
    return result;
}

Der::Bytes FileDigest(ByteSource& file, const TSignedImage& image, DigestKind kind) {
    const SignedPart::TSignature& s = image.Signature;
    TDigest digest(kind);
    std::vector<std::uint8_t> buffer(1u << 20);
    Hash(file, 0, s.ChecksumOffset, digest, buffer);
    Hash(file, s.ChecksumOffset + 4, s.EntryOffset, digest, buffer);
    Hash(file, s.EntryOffset + 8, s.TableOffset, digest, buffer);
    return digest.Final();
}

}  // namespace Authenticode
