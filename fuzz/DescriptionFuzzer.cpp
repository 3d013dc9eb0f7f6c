// Feeds arbitrary text to the packaging tool's description reader: it must
// report problems as diagnostics, never crash, hang or throw.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/description/Description.h"

namespace {
// One private folder per process: the description and the files it names.
const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / ("description-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "docs");
        for (const char* name : {"app.exe", "readme.txt", "docs/a.txt", "Uninstall.exe"})
            if (std::FILE* f = std::fopen((dir / name).c_str(), "wb")) {
                std::fputs("data", f);
                std::fclose(f);
            }
        return dir;
    }();
    return folder;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path description = WorkFolder() / "package.toml";
    std::FILE* f = std::fopen(description.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    TDescriptionOptions options;
    options.Defines = {{"STUB_DIR", WorkFolder().string()}};
    options.Stub = (WorkFolder() / "app.exe").string();
    TDiagnostics diagnostics;
    ReadDescription(description.string(), options, diagnostics);
    return 0;
}
