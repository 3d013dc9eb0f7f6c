// Installs one package under Wine and reports how long Install took and the
// process's memory: install_bench PACKAGE INSTALLDIR
// Prints "seconds=S peak_ws_before=B peak_ws=P peak_private=Q" (bytes).
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "bench/BenchClock.h"
#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"

namespace {

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: install_bench PACKAGE INSTALLDIR\n");
        return 2;
    }
    try {
        TVazuravAzoz pack;
        if (!pack.OpenPackage(argv[1], kFullReading)) {
            std::fprintf(stderr, "install_bench: %s is no package\n", argv[1]);
            return 1;
        }
        pack.SetInstallDir(argv[2]);
        const PROCESS_MEMORY_COUNTERS before = Memory();
        const double start = Seconds();
        pack.Install();
        const double elapsed = Seconds() - start;
        const PROCESS_MEMORY_COUNTERS after = Memory();
        std::printf("seconds=%.4f peak_ws_before=%lu peak_ws=%lu peak_private=%lu\n", elapsed,
                    static_cast<unsigned long>(before.PeakWorkingSetSize),
                    static_cast<unsigned long>(after.PeakWorkingSetSize),
                    static_cast<unsigned long>(after.PeakPagefileUsage));
    } catch (const Exception& error) {
        std::fprintf(stderr, "install_bench: %s: %s\n", error.TypeName(), error.Message().c_str());
        return 1;
    }
    return 0;
}
