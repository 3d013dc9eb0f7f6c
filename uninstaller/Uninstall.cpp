// Uninstall: the companion uninstaller. Run from the install folder (as the
// uninstall registration runs it), it reads the uninstall data file there and
// removes what the package installed, after asking; with /S without asking
// and without any window, its steps in a log (/LOG=) and its exit code.
#include <windows.h>

#include <exception>
#include <optional>
#include <string>

#include "package/DdeInstance.h"
#include "package/PackageReader.h"
#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Application.h"
#include "unattended/ExitCodes.h"
#include "unattended/RunLog.h"
#include "unattended/Switches.h"
#include "uninstaller/CommandLine.h"
#include "uninstaller/ProgressWindow.h"
#include "uninstaller/Removal.h"
#include "uninstaller/UninstallPlan.h"
#include "uninstaller/UninstallTexts.h"
#include "uninstaller/WorkingCopy.h"

namespace {

void Tell(const std::string& title, const std::string& text, UINT icon) {
    ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | icon | MB_SETFOREGROUND);
}

bool Ask(const std::string& title, const std::string& text) {
    return ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

// The working copy in the temporary folder goes when Windows next starts,
// however the run ends.
class TDeleteAtRestart {
public:
    explicit TDeleteAtRestart(std::string path) : path_(std::move(path)) {}
    ~TDeleteAtRestart() {
        if (!path_.empty()) RemoveAtRestart(path_);
    }
    TDeleteAtRestart(const TDeleteAtRestart&) = delete;
    TDeleteAtRestart& operator=(const TDeleteAtRestart&) = delete;

private:
    std::string path_;
};

// Loads the data file, and those of earlier installs of the same
// application into this folder; gives nothing when it cannot, and `problem`
// says why.
std::optional<TUninstallPlan> LoadPlan(TPackageContents& data, const TRemoval& removal,
                                       const std::string& installDir, std::string& problem) {
    const std::string& file = removal.DataFile();
    if (::GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        problem = UninstallText::DataFileMissing(file);
        return std::nullopt;
    }
    std::string reason;
    try {
        if (auto read = ReadPackageFile(file, {})) data = std::move(*read);
        else reason = "it is not an uninstall data file";
    } catch (const Exception& error) {
        reason = error.Message();
    }
    if (!reason.empty()) {
        problem = UninstallText::DataFileUnreadable(file, reason);
        return std::nullopt;
    }
    const auto earlier = ReadRecordsOf(UninstallContract::EarlierDataFileIn(installDir), data.AppName());
    const PackageTables all =
        MergeRecords(data.Tables.View(), earlier ? earlier->Tables.View() : PackageTablesView{});
    return PlanUninstall(all.View(), data.AppName(), {installDir, GetWindowsDir(), GetSystemDir()});
}

// Where this run works: the uninstaller in the install folder, and whether
// this process is that program (run in place) or its working copy.
struct TRunPlace {
    std::string Uninstaller;
    std::string InstallDir;
    bool InPlace = true;
};

// Uninstall.exe /S: no question, no window, no box; the log and the exit
// code say it all. `originalWaits`: the original waits for this working copy.
int RemoveUnattended(const TRunPlace& place, bool originalWaits, TRunLog& log) {
    log.Line("Uninstaller " + place.Uninstaller);
    TRemoval removal(place.InstallDir, place.Uninstaller);
    TPackageContents data;
    std::string problem;
    const auto plan = LoadPlan(data, removal, place.InstallDir, problem);
    if (!plan) {
        log.Line(problem);
        return ExitCode::kNoDataFile;
    }
    const std::string appName = data.AppName();
    log.Line("Application " + appName);
    log.Line("Install folder " + place.InstallDir);
    const TUninstallPlan left = removal.WhatIsLeft(*plan);
    if (TRemoval::NothingToDo(left)) {
        log.Line(UninstallText::NothingToDo(appName, place.InstallDir));
        return ExitCode::kRemoved;
    }
    TRemovalReport report = removal.Run(left, [&](const std::string& what) { log.Line(what); });
    log.Line("Remove the uninstaller and the uninstall data");
    removal.RemoveOwnFiles(report, place.InPlace, originalWaits);
    log.Line(UninstallText::Summary(appName, place.InstallDir, report));
    if (report.Failed > 0) return ExitCode::kNotAllRemoved;
    if (report.AtRestart) {
        log.Line("The uninstaller " + place.Uninstaller + " goes when Windows next starts.");
        return ExitCode::kRemovedAtRestart;
    }
    return ExitCode::kRemoved;
}

int RunUnattended(const TSwitches& switches, const TRunPlace& place, bool originalWaits) {
    return RunLogged(switches.LogPath, [&](TRunLog& log) { return RemoveUnattended(place, originalWaits, log); });
}

// The log's full path: the working copy runs in another folder.
std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length == 0 || length >= sizeof full ? path : std::string(full, length);
}

// The unattended switches: the original's own, or those it handed to its working copy.
std::optional<TSwitches> SwitchesOf(std::string_view commandLine) {
    const auto copyArguments = ParseWorkingCopyArguments(commandLine);
    return ParseSwitches(copyArguments ? std::string_view(copyArguments->Switches) : ArgumentsOf(commandLine), false);
}

int Run() {
    TDdeInstance dde;
    TApplication application;
    const std::string self = ExecutablePath();
    const std::string_view commandLine = ::GetCommandLineA();
    const auto copyArguments = ParseWorkingCopyArguments(commandLine);
    auto switches = SwitchesOf(commandLine);
    if (!copyArguments) {
        if (switches && !switches->LogPath.empty()) switches->LogPath = FullPath(switches->LogPath);
        // Unattended, the caller waits for this process, so it waits for the
        // copy and ends with the copy's exit code.
        const bool unattended = switches.has_value();
        if (const auto code = StartWorkingCopy(self, unattended ? SwitchArguments(*switches) : std::string(), unattended))
            return *code;
    }
    // Without a working copy this process runs from the install folder and
    // has itself removed at the next start of Windows instead.
    const bool inPlace = !copyArguments;
    TDeleteAtRestart workingCopy(inPlace ? std::string() : self);
    // An unattended original waits for its copy; that copy must not wait for it.
    if (copyArguments && !switches) WaitForOriginal(copyArguments->Parent);

    const std::string uninstaller = LongPath(inPlace ? self : copyArguments->Original);
    const std::string installDir = FolderOf(uninstaller);
    if (switches) return RunUnattended(*switches, {uninstaller, installDir, inPlace}, !inPlace);

    TRemoval removal(installDir, uninstaller);
    TPackageContents data;
    std::string problem;
    const auto plan = LoadPlan(data, removal, installDir, problem);
    if (!plan) {
        Tell(UninstallText::Title({}), problem, MB_ICONSTOP);
        return 1;
    }

    const std::string appName = data.AppName(), title = UninstallText::Title(appName);
    const TUninstallPlan left = removal.WhatIsLeft(*plan);
    if (TRemoval::NothingToDo(left)) {
        Tell(title, UninstallText::NothingToDo(appName, installDir), MB_ICONINFORMATION);
        return 0;
    }
    if (!Ask(title, UninstallText::Question(appName, installDir, left))) return 0;

    const TRemovalReport report = RemoveShowingProgress(removal, left, title, inPlace);
    Tell(title, UninstallText::Summary(appName, installDir, report), MB_ICONINFORMATION);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        return Run();
    } catch (const std::exception& error) {
        // Unattended, no box: nobody may be there to close it.
        if (!SwitchesOf(::GetCommandLineA())) Tell(UninstallText::Title({}), error.what(), MB_ICONSTOP);
    }
    return 1;
}
