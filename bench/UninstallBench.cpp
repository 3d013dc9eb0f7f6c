// Removes an install as the uninstaller does, without asking, and reports
// how long each part took:
//   uninstall_bench INSTALLDIR [--window]
// Prints "plan_seconds=P remove_seconds=R files=F folders=D left=L": P is the
// look at what is left (before the uninstaller's question), R the removal
// itself (after it), as timed inside the process. With --window the removal
// reports every step to the uninstaller's progress window, as Uninstall.exe
// does; without it, to nothing.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "bench/BenchClock.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Application.h"
#include "uninstaller/ProgressWindow.h"
#include "uninstaller/Removal.h"
#include "uninstaller/UninstallPlan.h"

namespace {

// The removal's own run and the uninstaller's files, through the
// uninstaller's window or without one.
TRemovalReport Remove(TRemoval& removal, const TUninstallPlan& left, bool window) {
    if (window) return RemoveShowingProgress(removal, left, "Uninstall bench", false);
    TRemovalReport report = removal.Run(left, [](const std::string&) {});
    removal.RemoveOwnFiles(report, false);
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    const bool window = argc == 3 && std::strcmp(argv[2], "--window") == 0;
    if (argc != 2 && !window) {
        std::fprintf(stderr, "usage: uninstall_bench INSTALLDIR [--window]\n");
        return 2;
    }
    try {
        std::optional<TApplication> application;
        if (window) application.emplace();
        const std::string installDir = argv[1];
        TRemoval removal(installDir, installDir + "\\Uninstall.exe");
        TVazuravAzoz data;
        if (!data.OpenPackage(removal.DataFile(), {})) {
            std::fprintf(stderr, "uninstall_bench: %s is no uninstall data file\n", removal.DataFile().c_str());
            return 1;
        }
        const PackageTablesView tables{data.GetFiles(), data.GetDirs(), data.GetShellItems(), data.GetRegItems()};
        const double start = Seconds();
        const TUninstallPlan plan =
            PlanUninstall(tables, data.GetAppName(), {installDir, GetWindowsDir(), GetSystemDir()});
        const TUninstallPlan left = removal.WhatIsLeft(plan);
        const double planned = Seconds();
        const TRemovalReport report = Remove(removal, left, window);
        const double removed = Seconds();
        std::printf("plan_seconds=%.4f remove_seconds=%.4f files=%d folders=%d left=%d\n", planned - start,
                    removed - planned, static_cast<int>(report.FilesRemoved), static_cast<int>(report.FoldersRemoved),
                    static_cast<int>(report.Left.size()));
    } catch (const Exception& error) {
        std::fprintf(stderr, "uninstall_bench: %s: %s\n", error.TypeName(), error.Message().c_str());
        return 1;
    }
    return 0;
}
