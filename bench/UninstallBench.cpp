// Removes an install as the uninstaller does, without its window and without
// asking, and reports how long each part took:
//   uninstall_bench INSTALLDIR
// Prints "plan_seconds=P remove_seconds=R files=F folders=D left=L": P is the
// look at what is left (before the uninstaller's question), R the removal
// itself (after it), as timed inside the process.
#include <windows.h>

#include <cstdio>

#include "bench/BenchClock.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "uninstaller/Removal.h"
#include "uninstaller/UninstallPlan.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: uninstall_bench INSTALLDIR\n");
        return 2;
    }
    try {
        const std::string installDir = argv[1];
        TRemoval removal(installDir, installDir + "\\Uninstall.exe");
        TVazuravAzoz data;
        if (!data.OpenPackage(removal.DataFile())) {
            std::fprintf(stderr, "uninstall_bench: %s is no uninstall data file\n", removal.DataFile().c_str());
            return 1;
        }
        const PackageTablesView tables{data.GetFiles(), data.GetDirs(), data.GetShellItems(), data.GetRegItems()};
        const double start = Seconds();
        const TUninstallPlan plan =
            PlanUninstall(tables, data.GetAppName(), {installDir, GetWindowsDir(), GetSystemDir()});
        const TUninstallPlan left = removal.WhatIsLeft(plan);
        const double planned = Seconds();
        TRemovalReport report = removal.Run(left, [](const std::string&) {});
        removal.RemoveOwnFiles(report, false);
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
