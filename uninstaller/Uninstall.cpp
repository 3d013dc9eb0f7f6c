// Uninstall: the companion uninstaller. Run from the install folder (as the
// uninstall registration runs it), it reads the uninstall data file there and
// removes what the package installed, after asking.
#include <windows.h>

#include <exception>
#include <optional>
#include <string>

#include "package/DdeInstance.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Application.h"
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

// Loads the data file; says why and gives nothing when it cannot.
std::optional<TUninstallPlan> LoadPlan(TVazuravAzoz& data, const TRemoval& removal, const std::string& installDir) {
    const std::string& file = removal.DataFile();
    if (::GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Tell(UninstallText::Title({}), UninstallText::DataFileMissing(file), MB_ICONSTOP);
        return std::nullopt;
    }
    std::string problem;
    try {
        if (!data.OpenPackage(file)) problem = "it is not an uninstall data file";
    } catch (const Exception& error) {
        problem = error.Message();
    }
    if (!problem.empty()) {
        Tell(UninstallText::Title({}), UninstallText::DataFileUnreadable(file, problem), MB_ICONSTOP);
        return std::nullopt;
    }
    const PackageTablesView tables{data.GetFiles(), data.GetDirs(), data.GetShellItems(), data.GetRegItems()};
    return PlanUninstall(tables, data.GetAppName(), {installDir, GetWindowsDir(), GetSystemDir()});
}

int Run() {
    TDdeInstance dde;
    TApplication application;
    const std::string self = ExecutablePath();
    const auto copyArguments = ParseWorkingCopyArguments(::GetCommandLineA());
    if (!copyArguments && StartWorkingCopy(self)) return 0;
    // Without a working copy this process runs from the install folder and
    // has itself removed at the next start of Windows instead.
    const bool inPlace = !copyArguments;
    TDeleteAtRestart workingCopy(inPlace ? std::string() : self);
    if (copyArguments) WaitForOriginal(copyArguments->Parent);

    const std::string uninstaller = LongPath(inPlace ? self : copyArguments->Original);
    const std::string installDir = FolderOf(uninstaller);
    TRemoval removal(installDir, uninstaller);
    TVazuravAzoz data;
    const auto plan = LoadPlan(data, removal, installDir);
    if (!plan) return 1;

    const std::string appName = data.GetAppName(), title = UninstallText::Title(appName);
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
        Tell(UninstallText::Title({}), error.what(), MB_ICONSTOP);
    }
    return 1;
}
