#include "package/PackageReader.h"

#include <type_traits>

#include "package/SignedPart.h"
#include "system/Errors.h"
#include "system/FileStream.h"

using namespace RecordHead;

namespace {

// The bytes of `count` records of `recordSize` at `offset`, checked against
// the source first, so no count makes the reader allocate more than the
// source holds; the source is positioned there.
std::size_t TableBytes(ByteSource& source, std::uint64_t sourceSize, std::int32_t count, std::uint32_t offset,
                       std::size_t recordSize) {
    if (count < 0) Raise(ERangeError(std::string(ErrorText::RangeCheck)));
    source.Seek(offset);
    const std::uint64_t bytes = std::uint64_t(count) * recordSize;
    if (bytes > 0 && (offset > sourceSize || bytes > sourceSize - offset)) RaiseReadError();
    return static_cast<std::size_t>(bytes);
}

// Sizes `table` to `count` records and reads them from `offset`.
template <typename Record>
void LoadTable(ByteSource& source, std::uint64_t sourceSize, std::int32_t count, std::uint32_t offset,
               std::vector<Record>& table) {
    const std::size_t bytes = TableBytes(source, sourceSize, count, offset, sizeof(Record));
    table = std::vector<Record>(static_cast<std::size_t>(count));
    if (bytes > 0) source.ReadExact(table.data(), bytes);
}

// A signed executable installs only from its signed part: every table must
// lie inside it, clear of the header fields the signature leaves out, and so
// must every file's data.
void CheckTablesSigned(const TPackHeader& header, const SignedPart::TSignature& signature) {
    for (const TTableSpan& t : TableSpans(header))  // negative counts are left to the range check
        if (t.Count > 0 && !signature.Covers(t.Offset, std::uint64_t(t.Count) * t.RecordSize))
            SignedPart::Refuse(ErrorText::PackageOutsideSignature);
}

void CheckFilesSigned(const std::vector<TFileItem>& files, const SignedPart::TSignature& signature) {
    for (const TFileItem& f : files)
        if (!signature.Covers(f.Offset.Get(), f.Size.Get())) SignedPart::Refuse(ErrorText::PackageOutsideSignature);
}

}  // namespace

bool ReadPackageInto(ByteSource& source, TPackHeader& header, TTablesOut tables,
                     std::optional<CompressedForm::TStreamInfo>& stream, const TPackageReading& reading,
                     const TBeforeTable& beforeTable) {
    const std::uint64_t size = source.Size();
    if (size < sizeof header) RaiseReadError();  // never read before the start
    source.Seek(size - sizeof header);
    source.ReadExact(&header, sizeof header);
    const bool compressed = CompressedForm::IsCompressedHeader(header);
    const bool package = IsValidHeader(header) || compressed;
    std::optional<SignedPart::TSignature> signedPart;
    if (reading.Signature) signedPart = reading.Signature(source, header, package);
    if (!package) return false;
    stream.reset();
    // The compressed form's tables come from its decoded frame, at the
    // offsets they would have in its place.
    std::unique_ptr<ByteSource> frame;
    if (compressed) {
        if (!reading.Compressed) RaiseReadError();
        frame = reading.Compressed(source, header, signedPart ? &*signedPart : nullptr, stream.emplace());
    } else if (signedPart) {
        CheckTablesSigned(header, *signedPart);
    }
    ByteSource& tablesFrom = frame ? *frame : source;
    const std::uint64_t tablesEnd = tablesFrom.Size();
    std::size_t index = 0;
    ForEachTable(header, tables, [&](auto& records, const LEInt32& count, const LEUInt32& offset, TTableName) {
        if (beforeTable) beforeTable(index++, count.Get());
        LoadTable(tablesFrom, tablesEnd, count.Get(), offset.Get(), records);
        if constexpr (std::is_same_v<std::decay_t<decltype(records)>, std::vector<TFileItem>>)
            if (signedPart && !compressed) CheckFilesSigned(records, *signedPart);
    });
    return true;
}

std::optional<TPackageContents> ReadPackage(ByteSource& source, const TPackageReading& reading) {
    TPackageContents package;
    PackageTables& t = package.Tables;
    if (!ReadPackageInto(source, package.Header, {t.Files, t.Dirs, t.ShellItems, t.RegItems}, package.Stream,
                         reading))
        return std::nullopt;
    return package;
}

std::optional<TPackageContents> ReadPackageFile(const std::string& path, const TPackageReading& reading) {
    TFileStream file = TFileStream::OpenRead(path);
    return ReadPackage(file, reading);
}

std::optional<TPackageContents> ReadRecordsOf(const std::string& path, std::string_view appName) {
    try {
        std::optional<TPackageContents> package = ReadPackageFile(path, {});
        if (package && package->AppName() == appName) return package;
    } catch (const Exception&) {
        // missing or broken: no earlier install
    }
    return std::nullopt;
}
