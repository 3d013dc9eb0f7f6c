#include "package/ZodiDuradad.h"

#include <limits>
#include <optional>

#include "package/PackageWriter.h"
#include "package/PathRules.h"
#include "package/SignedPart.h"
#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "system/Errors.h"
#include "system/FileStream.h"

using namespace RecordHead;

namespace {

TProcessMessages gProcessMessages = nullptr;

// Positions `source` at a table of `count` records and gives its size in
// bytes, checked against the file first, so no count makes the caller
// allocate more than the file holds. One function for the four record types.
std::size_t PlaceTable(ByteSource& source, std::uint64_t fileSize, std::int32_t count, std::uint32_t offset,
                       std::size_t recordSize) {
    if (count < 0) Raise(ERangeError(std::string(ErrorText::RangeCheck)));
    source.Seek(offset);
    const std::uint64_t bytes = std::uint64_t(count) * recordSize;
    if (bytes > 0 && (offset > fileSize || bytes > fileSize - offset)) RaiseReadError();
    return static_cast<std::size_t>(bytes);
}

// Sizes `table` to `count` records and reads them from `offset`.
template <typename Record>
void LoadTable(ByteSource& source, std::uint64_t fileSize, std::int32_t count, std::uint32_t offset,
               std::vector<Record>& table) {
    const std::size_t bytes = PlaceTable(source, fileSize, count, offset, sizeof(Record));
    table.assign(bytes / sizeof(Record), Record{});
    if (bytes > 0) source.ReadExact(table.data(), bytes);
}

// Adds a table's count to the step total without overflowing.
void AddSteps(std::int32_t& total, std::int32_t count) {
    const std::int64_t sum = std::int64_t(total) + count;
    total = sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                           : static_cast<std::int32_t>(sum);
}

[[noreturn]] void RaiseSignatureError(std::string_view text) { Raise(ESignatureError(std::string(text))); }

// A signed executable installs only from its signed part: the trailer must
// be the copy kept there, and every table must lie inside it, clear of the
// header fields the signature leaves out.
void CheckTablesSigned(ByteSource& source, const TPackHeader& header, const SignedPart::TSignature& signature) {
    if (!SignedPart::FindTrailer(source, signature, &header)) RaiseSignatureError(ErrorText::PackageOutsideSignature);
    const struct {
        std::int32_t count;
        std::uint32_t offset;
        std::size_t recordSize;
    } tables[] = {{header.FileCount.Get(), header.FileOffset.Get(), sizeof(TFileItem)},
                  {header.DirCount.Get(), header.DirOffset.Get(), sizeof(TDirItem)},
                  {header.ShellCount.Get(), header.ShellOffset.Get(), sizeof(TShellItem)},
                  {header.RegCount.Get(), header.RegOffset.Get(), sizeof(TRegItem)}};
    for (const auto& t : tables)  // negative counts are left to the range check
        if (t.count > 0 && !signature.Covers(t.offset, std::uint64_t(t.count) * t.recordSize))
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

void SetProcessMessages(TProcessMessages pump) { gProcessMessages = pump; }

TVazuravAzoz::~TVazuravAzoz() = default;

bool TVazuravAzoz::OpenPackage(const std::string& FileName) {
    PackageFile = FileName;
    TFileStream file = TFileStream::OpenRead(FileName);
    return LoadPackage(file);
}

bool TVazuravAzoz::LoadPackage(ByteSource& source) {
    const std::uint64_t size = source.Size();
    if (size < sizeof(TPackHeader)) RaiseReadError();  // never read before the start
    source.Seek(size - sizeof Header);
    source.ReadExact(&Header, sizeof Header);
    // A signature that cannot be read as Windows reads it may hide what it covers.
    const SignedPart::TReading signature = SignedPart::Read(source);
    if (signature.Problem != SignedPart::TProblem::None) RaiseSignatureError(ErrorText::SignatureUnreadable);
    const std::optional<SignedPart::TSignature>& signedPart = signature.Signature;
    const bool compressed = CompressedForm::IsCompressedHeader(Header);
    if (!IsValidHeader(Header) && !compressed) {
        // Signed after it was built, never sealed: say so rather than end silently.
        if (signedPart && SignedPart::FindTrailer(source, *signedPart)) RaiseSignatureError(ErrorText::PackageNotSealed);
        return false;
    }
    if (signedPart) CheckTablesSigned(source, Header, *signedPart);

    // Negative counts are refused before they reach the total.
    TotalSteps = Header.FileCount.Get() > 0 ? Header.FileCount.Get() : 0;
    LoadTable(source, size, Header.FileCount.Get(), Header.FileOffset.Get(), Files);
    Stream.reset();
    if (compressed) {
        Stream = CompressedForm::ReadStreamInfo(source, size, Header);
        if (signedPart) CheckStreamSigned(*Stream, Header, *signedPart);
    } else if (signedPart) {
        CheckFilesSigned(Files, *signedPart);
    }
    AddSteps(TotalSteps, Header.DirCount.Get() > 0 ? Header.DirCount.Get() : 0);
    LoadTable(source, size, Header.DirCount.Get(), Header.DirOffset.Get(), Dirs);
    AddSteps(TotalSteps, Header.ShellCount.Get() > 0 ? Header.ShellCount.Get() : 0);
    LoadTable(source, size, Header.ShellCount.Get(), Header.ShellOffset.Get(), ShellItems);
    AddSteps(TotalSteps, Header.RegCount.Get() > 0 ? Header.RegCount.Get() : 0);
    LoadTable(source, size, Header.RegCount.Get(), Header.RegOffset.Get(), RegItems);
    return true;
}

bool TVazuravAzoz::SetInstallDir(const std::string& Dir) {
    InstallDir = WithoutTrailingBackslash(Dir);
    return true;
}

std::string TVazuravAzoz::ExpandMacros(const std::string& Value) const {
    return ExpandInstallDirMacro(Value, InstallDir);
}

void TVazuravAzoz::ReportProgress(const std::string& Text) {
    ++Position;
    if (OnProgress.Assigned()) OnProgress(this, Position, Text);
    if (gProcessMessages) gProcessMessages();
}

void TVazuravAzoz::ReportStep(const std::string& Text) {
    if (OnStep.Assigned()) OnStep(this, Position, Text);
}

void TVazuravAzoz::SaveUninstallData() {
    KeepEarlierRecords();
    const std::string path = UninstallContract::DataFileIn(InstallDir);
    {
        TFileStream file = TFileStream::Create(path);
        WriteUninstallData(file, GetAppName(), {Files, Dirs, ShellItems, RegItems});
    }
    ReportStep("Write uninstall data " + path);
}

// An install over an earlier one of the same application replaces its data
// file; what the earlier one put down would then outlive the uninstall.
// Nothing is written into a folder without an earlier install.
void TVazuravAzoz::KeepEarlierRecords() {
    using namespace UninstallContract;
    TVazuravAzoz last, before;
    const bool hasLast = LoadRecordsOf(last, DataFileIn(InstallDir), GetAppName());
    const bool hasBefore = LoadRecordsOf(before, EarlierDataFileIn(InstallDir), GetAppName());
    if (!hasLast && !hasBefore) return;
    const PackageTables kept =
        MergeRecords(hasBefore ? before.GetTables() : PackageTablesView{}, hasLast ? last.GetTables() : PackageTablesView{});
    const std::string path = EarlierDataFileIn(InstallDir);
    {
        TFileStream file = TFileStream::Create(path);
        WriteUninstallData(file, GetAppName(), kept.View());
    }
    ReportStep("Keep earlier installs' records " + path);
}
