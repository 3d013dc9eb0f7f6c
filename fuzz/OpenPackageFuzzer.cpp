// Feeds arbitrary bytes to the package reader, with the decoder and the
// signed-part rules the setup program hands it: it must raise one of its own
// errors or answer, never crash, hang or allocate beyond what the input
// justifies (its size; for the compressed form also the decoder's window and
// the tables its frame can decode to).
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <sanitizer/allocator_interface.h>

#include "package/CompressedReading.h"
#include "fuzz/AllocationGuard.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"

namespace {
// The largest single allocation this thread made while reading one input
// (libFuzzer's own threads allocate too, and are not counted).
thread_local bool tCounting = false;
thread_local std::size_t tLargestAllocation = 0;
void NoteAllocation(const volatile void*, std::size_t size) {
    if (tCounting && size > tLargestAllocation) tLargestAllocation = size;
}
void NoteFree(const volatile void*) {}
const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!gHooksInstalled) __builtin_trap();
    tLargestAllocation = 0;
    tCounting = true;
    MemorySource source({data, size});
    TVazuravAzoz pack;
    try {
        if (pack.LoadPackage(source, kFullReading)) {
            // Touch every loaded text the way the wizard and the engine do.
            std::size_t total = pack.GetAppName().size() + pack.GetAuthor().size() + pack.GetEmail().size() +
                                pack.GetWebsite().size();
            for (const auto& f : pack.GetFiles()) total += f.FileName.Text().size() + f.SubDir.Text().size();
            for (const auto& s : pack.GetShellItems()) total += s.Caption.Text().size();
            for (const auto& r : pack.GetRegItems()) total += r.ValueData.Text().size();
            if (pack.GetTotalSteps() < 0) __builtin_trap();
            (void)total;
        }
    } catch (const Exception&) {
        // Refused as it must be: a table past the end, a negative count, a
        // signed file whose package or signature the reader will not trust.
    }
    tCounting = false;
    // Plain tables never outgrow the input; texts are at most a field wide.
    const std::size_t limit = size + 1024 + AllocationGuard::CompressedFormAllowance(data, size);
    if (tLargestAllocation > limit) {
        std::fprintf(stderr, "allocation of %zu bytes for %zu input bytes\n", tLargestAllocation, size);
        __builtin_trap();
    }
    return 0;
}
