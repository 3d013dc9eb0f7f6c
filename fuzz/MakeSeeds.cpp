// Writes a seed corpus of well-formed packages for the package-reader fuzzer.
#include <cstdio>
#include <string>

#include "tests/support/TestFiles.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    PackageBuilder().App("Empty").WriteTo(dir / "empty.pkg");
    PackageBuilder()
        .App("Demo", "Ann", "ann@example.com", "https://example.com")
        .Stub(PatternBytes(64))
        .File("demo.exe", "InstallDir", "", PatternBytes(100))
        .File("readme.txt", "InstallDir", "doc", TextBytes("hello"))
        .Dir("InstallDir", "")
        .Dir("InstallDir", "doc")
        .Shell(0, "", "", "", "Demo")
        .Shell(1, "InstallDir", "", "demo.exe", "Demo")
        .Shell(3, "System32Dir", "", "demo.scr", "")
        .Reg(0x80000001u, "Software\\Demo", "Path", "{InstallDir}")
        .WriteTo(dir / "demo.pkg");
    PackageBuilder()
        .App(std::string(256, 'N'), std::string(64, 'a'))
        .Reg(0x80000002u, std::string(512, 'k'), std::string(128, 'v'), std::string(1024, 'd'))
        .WriteTo(dir / "full-width.pkg");
    return 0;
}
