#include "tools/signature/Seal.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "package/PeImage.h"
#include "package/SignedPart.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "system/LittleEndian.h"
#include "tools/platform/Platform.h"
#include "tools/signature/Authenticode.h"

namespace Seal {
namespace {

using Der::Bytes;
using Der::Element;
using Der::View;

constexpr std::size_t kTrailerSize = sizeof(RecordHead::TPackHeader);

void Append(Bytes& out, View bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

bool IsSealAttribute(View bytes, const Element& attribute) {
    if (attribute.tag != Der::Sequence) return false;
    const std::vector<Element> parts = Der::Children(bytes, attribute);
    if (parts.empty() || parts[0].tag != Der::Oid) return false;
    const View oid = parts[0].Content(bytes);
    return std::equal(oid.begin(), oid.end(), AttributeOid.begin(), AttributeOid.end());
}

Bytes SealAttribute(std::size_t filler, const RecordHead::TPackHeader& trailer) {
    Bytes value(filler, 0);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&trailer);
    value.insert(value.end(), raw, raw + kTrailerSize);
    Bytes content = Der::Wrap(Der::Oid, AttributeOid);
    Append(content, Der::Wrap(Der::Set, Der::Wrap(Der::OctetString, value)));
    return Der::Wrap(Der::Sequence, content);
}

// `parent` rebuilt with its content up to `child` kept and `replacement` after it.
Bytes Rewrap(View bytes, const Element& parent, std::size_t childStart, View replacement) {
    Bytes content(bytes.begin() + static_cast<std::ptrdiff_t>(parent.content),
                  bytes.begin() + static_cast<std::ptrdiff_t>(childStart));
    Append(content, replacement);
    return Der::Wrap(parent.tag, content);
}

// A byte source made of pieces: memory and ranges of another source.
class TSplicedSource final : public ByteSource {
public:
    void AddMemory(const Bytes& bytes) { pieces_.push_back({nullptr, 0, bytes.size(), &bytes}); }
    void AddRange(ByteSource& source, std::uint64_t from, std::uint64_t size) {
        pieces_.push_back({&source, from, size, nullptr});
    }
    std::uint64_t Size() override {
        std::uint64_t size = 0;
        for (const TPiece& p : pieces_) size += p.Size;
        return size;
    }
    void Seek(std::uint64_t position) override { position_ = position; }
    std::size_t Read(void* buffer, std::size_t count) override {
        std::uint64_t start = 0;
        for (const TPiece& p : pieces_) {
            if (position_ < start + p.Size) {
                const std::uint64_t at = position_ - start;
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, p.Size - at));
                if (p.Memory) {
                    std::memcpy(buffer, p.Memory->data() + at, n);
                } else {
                    p.Source->Seek(p.From + at);
                    p.Source->ReadExact(buffer, n);
                }
                position_ += n;
                return n;
            }
            start += p.Size;
        }
        return 0;
    }

private:
    struct TPiece {
        ByteSource* Source;
        std::uint64_t From, Size;
        const Bytes* Memory;
    };
    std::vector<TPiece> pieces_;
    std::uint64_t position_ = 0;
};

RecordHead::TPackHeader ReadTrailer(ByteSource& source, std::uint64_t at) {
    RecordHead::TPackHeader header;
    source.Seek(at);
    source.ReadExact(&header, sizeof header);
    return header;
}

// The trailer to seal: the one inside the signed part that the file's last
// bytes already copy (sealing again changes nothing), else the one there.
std::uint64_t SignedTrailer(ByteSource& file, const SignedPart::TSignature& signature) {
    const RecordHead::TPackHeader last = ReadTrailer(file, file.Size() - kTrailerSize);
    if (const auto same = SignedPart::FindTrailer(file, signature, &last)) return *same;
    if (const auto any = SignedPart::FindTrailer(file, signature)) return *any;
    throw ESealError("no package trailer lies right before the signature: the file was not built by makesetup, "
                     "or it was changed between the build and the signing");
}

void CopyAll(ByteSource& from, ByteSink& to) {
    std::vector<std::uint8_t> buffer(1u << 20);
    const std::uint64_t size = from.Size();
    from.Seek(0);
    for (std::uint64_t at = 0; at < size;) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - at));
        from.ReadExact(buffer.data(), chunk);
        to.Write(buffer.data(), chunk);
        at += chunk;
    }
}

bool SameContent(ByteSource& a, ByteSource& b) {
    if (a.Size() != b.Size()) return false;
    std::vector<std::uint8_t> x(1u << 16), y(1u << 16);
    for (std::uint64_t at = 0, size = a.Size(); at < size;) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(x.size(), size - at));
        a.Seek(at);  // `a` may read from `b`: each read seeks its own place
        a.ReadExact(x.data(), chunk);
        b.Seek(at);
        b.ReadExact(y.data(), chunk);
        if (std::memcmp(x.data(), y.data(), chunk) != 0) return false;
        at += chunk;
    }
    return true;
}

// A signature sealed onto a file it was not made for would pass that file's
// package off as signed: its file digest must be this file's.
void CheckBelongs(ByteSource& file, const Authenticode::TSignedImage& image) {
    const Authenticode::TSignatureInfo info = Authenticode::ReadSignatureInfo(image.Pkcs7);
    if (!info.Digest) throw ESealError("the signature's file digest uses an algorithm this tool does not compute");
    if (Authenticode::FileDigest(file, image, *info.Digest) != info.RecordedDigest)
        throw ESealError("the signature does not belong to this file: its " + DigestName(*info.Digest) +
                         " file digest does not match the file (changed after it was signed, or signed as another "
                         "file)");
    if (!info.AttributesMatch) throw ESealError("the signed attributes do not vouch for the signature's file digest");
}

// Writes the sealed image of `file` to `path`.
TSealResult WriteSealed(ByteSource& file, TFileStream& out) {
    const std::optional<Authenticode::TSignedImage> image = Authenticode::ReadSignedImage(file);
    if (!image) throw ESealError("the file carries no signature (no certificate table): sign it first");
    const SignedPart::TSignature& signature = image->Signature;
    if (file.Size() < kTrailerSize) throw ESealError("the file is too short to hold a package");
    CheckBelongs(file, *image);
    TSealResult result;
    result.TrailerCopy = SignedTrailer(file, signature);
    // The table's one entry, sealed.
    const Bytes table = SealedEntry(image->Pkcs7, ReadTrailer(file, result.TrailerCopy));

    Bytes headers(static_cast<std::size_t>(std::max(signature.EntryOffset + 8, signature.ChecksumOffset + 4)));
    file.Seek(0);
    file.ReadExact(headers.data(), headers.size());
    LittleEndian::Store32(&headers[signature.EntryOffset + 4], static_cast<std::uint32_t>(table.size()));

    TSplicedSource sealed;
    sealed.AddMemory(headers);
    sealed.AddRange(file, headers.size(), signature.TableOffset - headers.size());
    sealed.AddMemory(table);
    const auto checksumAt = static_cast<std::uint32_t>(signature.ChecksumOffset);
    LittleEndian::Store32(&headers[checksumAt], PeImage::Checksum(sealed, checksumAt));

    result.Size = sealed.Size();
    result.AlreadySealed = SameContent(sealed, file);
    CopyAll(sealed, out);
    return result;
}

}  // namespace

Bytes SealedEntry(View pkcs7, const RecordHead::TPackHeader& trailer) {
    const Authenticode::TSignerPath path = Authenticode::FindLastSigner(pkcs7);
    if (path.ContentInfo.end != pkcs7.size()) throw ESealError("bytes follow the signature's DER");
    const std::vector<Element> signer = Der::Children(pkcs7, path.SignerInfo);
    const bool hasUnsigned = !signer.empty() && signer.back().tag == Der::Context(1);
    const std::size_t signerKept = hasUnsigned ? signer.back().start : path.SignerInfo.end;
    Bytes kept;
    if (hasUnsigned)
        for (const Element& attribute : Der::Children(pkcs7, signer.back()))
            if (!IsSealAttribute(pkcs7, attribute)) Append(kept, attribute.Whole(pkcs7));

    // Each zero byte of filler adds a byte, or a few where a length grows a
    // byte; some filler up to 8 and a little more always aligns the entry.
    for (std::size_t filler = 0; filler < 32; ++filler) {
        Bytes attributes = kept;
        Append(attributes, SealAttribute(filler, trailer));
        const Bytes signerInfo = Rewrap(pkcs7, path.SignerInfo, signerKept, Der::Wrap(Der::Context(1), attributes));
        const Bytes signerInfos = Rewrap(pkcs7, path.SignerInfos, path.SignerInfo.start, signerInfo);
        const Bytes signedData = Rewrap(pkcs7, path.SignedData, path.SignerInfos.start, signerInfos);
        const Bytes explicitContent = Der::Wrap(path.Explicit.tag, signedData);
        const Bytes contentInfo = Rewrap(pkcs7, path.ContentInfo, path.Explicit.start, explicitContent);
        const std::size_t length = Authenticode::EntryHeaderSize + contentInfo.size();
        if (length % SignedPart::TableAlignment != 0) continue;
        Bytes entry(Authenticode::EntryHeaderSize);
        LittleEndian::Store32(entry.data(), static_cast<std::uint32_t>(length));
        LittleEndian::Store16(entry, 4, Authenticode::CertificateRevision);
        LittleEndian::Store16(entry, 6, Authenticode::PkcsSignedData);
        Append(entry, contentInfo);
        return entry;
    }
    throw ESealError("no filler aligns the signature");  // cannot happen: lengths grow by at most 5 bytes a step
}

TSealResult SealFile(const std::string& inPath, const std::string& outPath) {
    try {
        TTemporaryFile out(Platform::ToNative(outPath));
        TSealResult result;
        {
            // Closed before the commit: sealing in place renames over it.
            TFileStream in = TFileStream::OpenRead(Platform::ToNative(inPath));
            result = WriteSealed(in, out.File());
        }
        out.Commit();
        return result;
    } catch (const ESealError&) {
        throw;
    } catch (const EDerError& e) {
        throw ESealError(std::string("the signature is not DER this tool can rebuild: ") + e.what());
    } catch (const Exception& e) {
        throw ESealError(e.Message());
    }
}

}  // namespace Seal
