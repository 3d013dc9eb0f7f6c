#include "package/SignedPart.h"

#include <array>
#include <cstring>

#include "package/CompressedForm.h"
#include "package/PeImage.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"

namespace SignedPart {
namespace {

using LittleEndian::Load16;
using LittleEndian::Load32;

bool Overlap(std::uint64_t a, std::uint64_t aSize, std::uint64_t b, std::uint64_t bSize) {
    return aSize > 0 && bSize > 0 && a < b + bSize && b < a + aSize;
}

// The size of the DER element (a SEQUENCE, as a ContentInfo is) that starts
// `head`, header included; nothing when it is not one of definite length.
std::optional<std::uint64_t> DerSequenceSize(const std::uint8_t* head, std::size_t available) {
    if (available < 2 || head[0] != 0x30) return std::nullopt;
    if (head[1] < 0x80) return 2u + head[1];
    const std::size_t bytes = head[1] & 0x7F;
    if (bytes == 0 || bytes > 4 || available < 2 + bytes) return std::nullopt;
    std::uint64_t length = 0;
    for (std::size_t i = 0; i < bytes; ++i) length = length << 8 | head[2 + i];
    return 2 + bytes + length;
}

// The table's one entry, within the table's bounds.
TProblem ReadEntry(ByteSource& source, TSignature& s) {
    std::array<std::uint8_t, EntryHeaderSize + 6> head{};
    if (s.TableSize < head.size()) return TProblem::NotPkcs7;
    source.Seek(s.TableOffset);
    source.ReadExact(head.data(), head.size());
    s.EntryLength = Load32(head.data());
    if (Load16(&head[4]) != CertificateRevision || Load16(&head[6]) != PkcsSignedData) return TProblem::NotPkcs7;
    const std::optional<std::uint64_t> content = DerSequenceSize(&head[EntryHeaderSize], head.size() - EntryHeaderSize);
    if (!content) return TProblem::NotPkcs7;
    s.ContentSize = *content;
    const std::uint64_t used = EntryHeaderSize + s.ContentSize;
    if (s.EntryLength < used || s.EntryLength > s.TableSize) return TProblem::LengthMismatch;
    // What follows the signature can only be the padding to the next 8 bytes.
    if (s.TableSize - used >= TableAlignment) return TProblem::UnaccountedBytes;
    std::array<std::uint8_t, TableAlignment> padding{};
    source.Seek(s.TableOffset + used);
    source.ReadExact(padding.data(), static_cast<std::size_t>(s.TableSize - used));
    for (std::uint64_t i = 0; i < s.TableSize - used; ++i)
        if (padding[i] != 0) return TProblem::PaddingNotZeros;
    return TProblem::None;
}

TProblem Check(ByteSource& source, bool declared, TSignature& s) {
    const std::uint64_t size = source.Size();
    if (!declared) return TProblem::ReadTwoWays;
    if (s.TableOffset < s.EntryOffset + 8) return TProblem::TableInHeaders;
    if (s.TableOffset > size || s.TableSize > size - s.TableOffset) return TProblem::TablePastEnd;
    if (s.TableOffset + s.TableSize != size) return TProblem::DataAfterTable;
    return ReadEntry(source, s);
}

}  // namespace

bool TSignature::Covers(std::uint64_t offset, std::uint64_t size) const {
    return offset <= TableOffset && size <= TableOffset - offset && !Overlap(offset, size, ChecksumOffset, 4) &&
           !Overlap(offset, size, EntryOffset, 8);
}

TReading Read(ByteSource& source) {
    const std::optional<PeImage::SignatureFields> fields = PeImage::ReadSignatureFields(source);
    TReading reading;
    if (!fields || (fields->entry.address == 0 && fields->entry.size == 0)) return reading;
    TSignature& s = reading.Entry;
    s.TableOffset = fields->entry.address;
    s.TableSize = fields->entry.size;
    s.ChecksumOffset = fields->checksumOffset;
    s.EntryOffset = fields->entryOffset;
    reading.Problem = Check(source, fields->declared, s);
    if (reading.Problem == TProblem::None) reading.Signature = s;
    return reading;
}

std::string ProblemText(const TReading& reading, std::uint64_t fileSize) {
    const TSignature& s = reading.Entry;
    const std::string table =
        "the certificate table (" + std::to_string(s.TableSize) + " bytes at offset " + std::to_string(s.TableOffset) + ")";
    switch (reading.Problem) {
        case TProblem::None: return "";
        case TProblem::ReadTwoWays:
            return "the certificate table entry (at offset " + std::to_string(s.EntryOffset) +
                   ") lies where the headers declare no such entry, so they can be read two ways";
        case TProblem::TableInHeaders: return table + " starts inside the headers";
        case TProblem::TablePastEnd: return table + " reaches past the end of the file";
        case TProblem::DataAfterTable:
            return std::to_string(fileSize - s.TableOffset - s.TableSize) + " bytes follow " + table +
                   ": a signed file ends with its signature";
        case TProblem::NotPkcs7:
            return table + " does not hold a PKCS#7 WIN_CERTIFICATE entry (revision 2.0, type 2, a DER SEQUENCE)";
        case TProblem::LengthMismatch:
            return table + ": its entry's length of " + std::to_string(s.EntryLength) + " bytes does not fit its " +
                   std::to_string(s.ContentSize) + "-byte signature and the table";
        case TProblem::UnaccountedBytes:
            return table + " holds " + std::to_string(s.TableSize - EntryHeaderSize - s.ContentSize) +
                   " bytes after its first signature: a second entry, or data no verifier accounts for";
        case TProblem::PaddingNotZeros: return table + " ends in padding that is not zeros";
    }
    return "";
}

std::optional<std::uint64_t> FindTrailer(ByteSource& source, const TSignature& signature,
                                         const RecordHead::TPackHeader* equalTo) {
    constexpr std::size_t header = sizeof(RecordHead::TPackHeader);
    constexpr std::size_t padding = TableAlignment - 1;
    std::array<std::uint8_t, header + padding> window{};
    const std::uint64_t signedEnd = signature.TableOffset;
    if (signedEnd < header || signedEnd > source.Size()) return std::nullopt;
    // The window ends at signedEnd; near the start of the file it is shorter.
    const std::size_t length = signedEnd < window.size() ? static_cast<std::size_t>(signedEnd) : window.size();
    const std::uint64_t start = signedEnd - length;
    source.Seek(start);
    source.ReadExact(window.data(), length);
    for (std::size_t zeros = 0; zeros <= padding && zeros + header <= length; ++zeros) {
        if (zeros > 0 && window[length - zeros] != 0) break;
        const std::uint64_t at = start + (length - zeros - header);
        RecordHead::TPackHeader candidate;
        std::memcpy(&candidate, &window[length - zeros - header], header);
        if (!CompressedForm::IsAnyPackageHeader(candidate) || !signature.Covers(at, header)) continue;
        if (equalTo && std::memcmp(&candidate, equalTo, header) != 0) continue;
        return at;
    }
    return std::nullopt;
}

void Refuse(std::string_view text) { Raise(ESignatureError(std::string(text))); }

std::optional<TSignature> OfPackage(ByteSource& source, const RecordHead::TPackHeader& header, bool isPackage) {
    // A signature that cannot be read as Windows reads it may hide what it covers.
    const TReading reading = Read(source);
    if (reading.Problem != TProblem::None) Refuse(ErrorText::SignatureUnreadable);
    if (!reading.Signature) return std::nullopt;
    if (!isPackage) {
        // Signed after it was built, never sealed: say so rather than end silently.
        if (FindTrailer(source, *reading.Signature)) Refuse(ErrorText::PackageNotSealed);
        return std::nullopt;
    }
    if (!FindTrailer(source, *reading.Signature, &header)) Refuse(ErrorText::PackageOutsideSignature);
    return reading.Signature;
}

}  // namespace SignedPart
