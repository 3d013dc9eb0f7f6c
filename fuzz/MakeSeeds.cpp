// Writes a seed corpus of packages for the package-reader fuzzer: well-formed
// ones, and PE-shaped ones whose signature the reader refuses. (fuzz/run.sh
// adds real setup executables: bare, with a package, signed and sealed.)
#include <cstdio>
#include <cstring>
#include <string>

#include "system/LittleEndian.h"
#include "tests/support/TestFiles.h"

namespace {

// PE32 headers, 16 directory entries, no sections: enough for the reader to
// look for a signature.
Bytes PeHeaders() {
    Bytes b(0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    LittleEndian::Store32(b, 60, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    LittleEndian::Store16(b, 0x94, 224);
    LittleEndian::Store16(b, 0x98, 0x10B);
    LittleEndian::Store32(b, 0x98 + 92, 16);
    return b;
}

// A package on PE headers whose certificate entry points at `tableSize`
// bytes before the trailer, which no verifier reads as a signature.
Bytes PackageWithUnreadableSignature(std::uint32_t tableSize) {
    Bytes b = PackageBuilder().App("Signed").Stub(PeHeaders()).File("a.txt", "InstallDir", "", TextBytes("a")).Build();
    LittleEndian::Store32(b, 0x98 + 128, static_cast<std::uint32_t>(b.size() - tableSize));
    LittleEndian::Store32(b, 0x98 + 132, tableSize);
    return b;
}

}  // namespace

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
    WriteFileBytes(dir / "unreadable-signature.exe", PackageWithUnreadableSignature(552));
    return 0;
}
