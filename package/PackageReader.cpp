#include "package/PackageReader.h"

#include <type_traits>

#include "package/SignedPart.h"
#include "system/Errors.h"
#include "system/FileStream.h"

using namespace RecordHead;

namespace {

[[noreturn]] void RaiseSignatureError(std::string_view text) { Raise(ESignatureError(std::string(text))); }

// Sizes `table` to `count` records and reads them from `offset`, checked
// against the source first, so no count makes the reader allocate more than
// the source holds.
template <typename Record>
void LoadTable(ByteSource& source, std::uint64_t sourceSize, std::int32_t count, std::uint32_t offset,
               std::vector<Record>& table) {
    if (count < 0) Raise(ERangeError(std::string(ErrorText::RangeCheck)));
    source.Seek(offset);
    const std::uint64_t bytes = std::uint64_t(count) * sizeof(Record);
    if (bytes > 0 && (offset > sourceSize || bytes > sourceSize - offset)) RaiseReadError();
    table.assign(static_cast<std::size_t>(count), Record{});
    if (bytes > 0) source.ReadExact(table.data(), static_cast<std::size_t>(bytes));
}

// A signed executable installs only from its signed part: the trailer must
// be the copy kept there, and every table must lie inside it, clear of the
// header fields the signature leaves out.
void CheckTablesSigned(ByteSource& source, const TPackHeader& header, const SignedPart::TSignature& signature) {
    if (!SignedPart::FindTrailer(source, signature, &header)) RaiseSignatureError(ErrorText::PackageOutsideSignature);
    for (const TTableSpan& t : TableSpans(header))  // negative counts are left to the range check
        if (t.Count > 0 && !signature.Covers(t.Offset, std::uint64_t(t.Count) * t.RecordSize))
            RaiseSignatureError(ErrorText::PackageOutsideSignature);
}

void CheckFilesSigned(const std::vector<TFileItem>& files, const SignedPart::TSignature& signature) {
    for (const TFileItem& f : files)
        if (!signature.Covers(f.Offset.Get(), f.Size.Get())) RaiseSignatureError(ErrorText::PackageOutsideSignature);
}

// The compressed form's file data: its stream, the stream record and the
// CRC table must all lie in the signed part.
void CheckStreamSigned(const CompressedForm::TStreamInfo& info, const TPackHeader& header,
                       const SignedPart::TSignature& signature) {
    const CompressedForm::TStreamRecord& r = info.Record;
    if (!signature.Covers(r.StreamOffset.Get(), r.StreamSize.Get()) ||
        !signature.Covers(r.CrcOffset.Get(), 4 * std::uint64_t(info.Crcs.size())) ||
        !signature.Covers(CompressedForm::StreamRecordOffset(header), sizeof r))
        RaiseSignatureError(ErrorText::PackageOutsideSignature);
}

}  // namespace

bool ReadPackageInto(ByteSource& source, TPackHeader& header, TTablesOut tables,
                     std::optional<CompressedForm::TStreamInfo>& stream,
                     const std::function<void(std::size_t index, std::int32_t count)>& beforeTable) {
    const std::uint64_t size = source.Size();
    if (size < sizeof header) RaiseReadError();  // never read before the start
    source.Seek(size - sizeof header);
    source.ReadExact(&header, sizeof header);
    // A signature that cannot be read as Windows reads it may hide what it covers.
    const SignedPart::TReading signature = SignedPart::Read(source);
    if (signature.Problem != SignedPart::TProblem::None) RaiseSignatureError(ErrorText::SignatureUnreadable);
    const std::optional<SignedPart::TSignature>& signedPart = signature.Signature;
    const bool compressed = CompressedForm::IsCompressedHeader(header);
    if (!IsValidHeader(header) && !compressed) {
        // Signed after it was built, never sealed: say so rather than end silently.
        if (signedPart && SignedPart::FindTrailer(source, *signedPart)) RaiseSignatureError(ErrorText::PackageNotSealed);
        return false;
    }
    if (signedPart) CheckTablesSigned(source, header, *signedPart);
    std::size_t index = 0;
    ForEachTable(header, tables, [&](auto& records, const LEInt32& count, const LEUInt32& offset, TTableName) {
        if (beforeTable) beforeTable(index++, count.Get());
        LoadTable(source, size, count.Get(), offset.Get(), records);
        if constexpr (std::is_same_v<std::decay_t<decltype(records)>, std::vector<TFileItem>>) {
            stream.reset();
            if (compressed) {
                stream = CompressedForm::ReadStreamInfo(source, size, header);
                if (signedPart) CheckStreamSigned(*stream, header, *signedPart);
            } else if (signedPart) {
                CheckFilesSigned(records, *signedPart);
            }
        }
    });
    return true;
}

std::optional<TPackageContents> ReadPackage(ByteSource& source) {
    TPackageContents package;
    PackageTables& t = package.Tables;
    if (!ReadPackageInto(source, package.Header, {t.Files, t.Dirs, t.ShellItems, t.RegItems}, package.Stream))
        return std::nullopt;
    return package;
}

std::optional<TPackageContents> ReadPackageFile(const std::string& path) {
    TFileStream file = TFileStream::OpenRead(path);
    return ReadPackage(file);
}

std::optional<TPackageContents> ReadRecordsOf(const std::string& path, std::string_view appName) {
    try {
        std::optional<TPackageContents> package = ReadPackageFile(path);
        if (package && package->AppName() == appName) return package;
    } catch (const Exception&) {
        // missing or broken: no earlier install
    }
    return std::nullopt;
}
