// Feeds arbitrary bytes to what `list`, `verify` and `extract` read from a
// package, and extracts it below a scratch folder: nothing may crash, hang
// or allocate beyond what the input justifies, nothing may appear outside
// the scratch folder, never a link, and every file the run reports written
// holds its entry's size.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "package/CompressedReading.h"
#include "fuzz/AllocationGuard.h"
#include "package/PackageReader.h"
#include "system/ByteStream.h"
#include "system/Errors.h"
#include "tools/examine/Unpack.h"
#include "tools/examine/PackageListing.h"
#include "tools/examine/SafeFolder.h"

namespace fs = std::filesystem;

namespace {

// One private folder per process; the extraction goes into its "out".
const fs::path& WorkFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / ("extract-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        return dir;
    }();
    return folder;
}

// Every entry below `root` is a folder or a regular file, never a link.
void CheckTree(const fs::path& root) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::file_status status = entry.symlink_status();
        if (!fs::is_directory(status) && !fs::is_regular_file(status)) __builtin_trap();
    }
}

void Extract(const TPackageContents& package, ByteSource& data, unsigned codePage) {
    const fs::path out = WorkFolder() / "out";
    const std::vector<TExtractEntry> plan = PlanExtraction(package.Tables.Files, codePage, data.Size());
    std::set<std::size_t> failed;
    try {
        TSafeFolder folder(out.string());
        const TExtractResult result = ExtractFiles(plan, data, folder);
        for (const std::string& failure : result.Failures)
            failed.insert(std::stoul(failure.substr(std::string("entry ").size())));
    } catch (const Exception&) {
        // a read error of the data ends the run
    }
    for (const TExtractEntry& entry : plan)
        if (entry.Written() && !failed.count(entry.Index)) {
            std::error_code error;
            if (fs::file_size(out / entry.Target(), error) != entry.Size || error) __builtin_trap();
        }
    CheckTree(WorkFolder());
    for (const auto& entry : fs::directory_iterator(WorkFolder()))
        if (entry.path().filename() != "out") __builtin_trap();
    fs::remove_all(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource source({data, size});
    std::optional<TPackageContents> package;
    {
        // Checksums and copies read through 1 MiB buffers, whatever the input.
        const AllocationGuard::TScope guard(4 * size + (2u << 20) + AllocationGuard::CompressedFormAllowance(data, size));
        try {
            (void)VerifyPackage(source);
            package = ReadPackage(source, kFullReading);
            if (!package) return 0;
            (void)ListText("fuzz", size, *package);
            (void)ListJson("fuzz", size, *package, {}, 932);
        } catch (const Exception&) {
            return 0;  // refused with the reader's own error
        }
    }
    // A double-byte code page splits names differently: plan with it too.
    (void)PlanExtraction(package->Tables.Files, 932, size);
    Extract(*package, source, 1252);
    return 0;
}
