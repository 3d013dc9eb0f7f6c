// Builds the package of the fault scenarios run through the real Setup.exe: a
// copy of the setup stub with a payload whose copy step takes a while.
//   make_fault_package STUB OUT [EXPECTED_DIR]
// "Fault Demo": the install folder and its "data" folder, readme.txt,
// Uninstall.exe, 120 files of 48 KiB in data (part000.bin ...) and after them
// 3,000 of 64 bytes (part120.bin ...), one registry value and a Program
// Manager group with one item. The small files make the copy last a few
// seconds, however fast a single file goes. With EXPECTED_DIR, each
// file's bytes are also written there below their target sub-folder, for
// comparing an install with.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/TestFiles.h"

namespace {

constexpr int kDataFiles = 120;
constexpr std::size_t kDataFileSize = 48 * 1024;
constexpr int kSmallFiles = 3000;
constexpr std::size_t kSmallFileSize = 64;

struct PackedFile {
    std::string name, subDir;
    Bytes data;
};

std::vector<PackedFile> Files() {
    std::vector<PackedFile> files = {{"readme.txt", "", TextBytes("Fault Demo read-me\r\n")},
                                   {"Uninstall.exe", "", TextBytes("MZ not really")}};
    for (int i = 0; i < kDataFiles + kSmallFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "part%03d.bin", i);
        files.push_back({name, "data", PatternBytes(i < kDataFiles ? kDataFileSize : kSmallFileSize, std::uint32_t(i) + 11)});
    }
    return files;
}

Bytes Package(const Bytes& stub, const std::vector<PackedFile>& files) {
    PackageBuilder b;
    b.App("Fault Demo", "Jane Author", "jane@example.com", "http://www.example.com/fault")
        .Stub(stub)
        .Dir("InstallDir", "")
        .Dir("InstallDir", "data");
    for (const PackedFile& f : files) b.File(f.name, "InstallDir", f.subDir, f.data);
    b.Reg(0x80000001u, "Software\\FaultDemo", "Path", "{InstallDir}")
        .Shell(0, "", "", "", "Fault Demo")
        .Shell(1, "InstallDir", "", "readme.txt", "Read me");
    return b.Build();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make_fault_package STUB OUT [EXPECTED_DIR]\n");
        return 2;
    }
    const std::vector<PackedFile> files = Files();
    WriteFileBytes(argv[2], Package(ReadFileBytes(argv[1]), files));
    if (argc == 4) {
        for (const PackedFile& f : files) {
            const std::filesystem::path folder = std::filesystem::path(argv[3]) / f.subDir;
            std::filesystem::create_directories(folder);
            WriteFileBytes(folder / f.name, f.data);
        }
    }
    return 0;
}
