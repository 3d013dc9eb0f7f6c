#include "package/ZodiDuradad.h"

#include <limits>
#include <optional>

#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/PathRules.h"
#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "system/Errors.h"
#include "system/FileStream.h"

using namespace RecordHead;

namespace {

TProcessMessages gProcessMessages = nullptr;

// Adds a table's count to the step total without overflowing.
void AddSteps(std::int32_t& total, std::int32_t count) {
    const std::int64_t sum = std::int64_t(total) + count;
    total = sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                           : static_cast<std::int32_t>(sum);
}

}  // namespace

void SetProcessMessages(TProcessMessages pump) { gProcessMessages = pump; }

TVazuravAzoz::~TVazuravAzoz() = default;

bool TVazuravAzoz::OpenPackage(const std::string& FileName, const TPackageReading& reading) {
    PackageFile = FileName;
    PackageStream.reset();
    PackageStream.emplace(TFileStream::OpenRead(FileName, TFileStream::TSharing::ReadOnly));
    if (LoadPackage(*PackageStream, reading)) return true;
    PackageStream.reset();
    Package = nullptr;
    return false;
}

bool TVazuravAzoz::LoadPackage(ByteSource& source, const TPackageReading& reading) {
    Package = &source;  // CopyFiles reads the file data from it
    // The total counts each table before it is read, so a failing one leaves
    // the sum so far; a negative count is refused before it reaches the total.
    return ReadPackageInto(source, Header, {Files, Dirs, ShellItems, RegItems}, Stream, reading,
                           [this](std::size_t index, std::int32_t count) {
                               if (index == 0) TotalSteps = 0;
                               AddSteps(TotalSteps, count > 0 ? count : 0);
                           });
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
    const auto last = ReadRecordsOf(DataFileIn(InstallDir), GetAppName());
    const auto before = ReadRecordsOf(EarlierDataFileIn(InstallDir), GetAppName());
    if (!last && !before) return;
    const PackageTables kept = MergeRecords(before ? before->Tables.View() : PackageTablesView{},
                                            last ? last->Tables.View() : PackageTablesView{});
    const std::string path = EarlierDataFileIn(InstallDir);
    {
        TFileStream file = TFileStream::Create(path);
        WriteUninstallData(file, GetAppName(), kept.View());
    }
    ReportStep("Keep earlier installs' records " + path);
}
