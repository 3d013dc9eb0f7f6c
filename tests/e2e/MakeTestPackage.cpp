// Builds the packages of the end-to-end tests: a copy of the setup stub with
// a payload appended.
//   make_test_package SCENARIO STUB OUT
// Scenarios:
//   full        folders, files (an Uninstall.exe among them), registry values
//               and Program Manager items of "Demo App"
//   slow        like full, plus five group records: each pauses the install
//               for a second, time enough to look at it and press Cancel
//   badtable    a valid trailer whose file table lies past the end of the file
//   failcopy    a file whose data reaches past the end of the file: the
//               install stops with "Stream read error"
//   links       like full, with a web site that is a batch file and an e-mail
//               address, for the link labels
//   many        like full, plus 3,000 small files in data\many: a copy of a
//               few seconds; then a registry value under a root that does not
//               exist stops the install with an error box over the installing
//               page, which keeps its last item and position
#include <cstdio>
#include <cstring>
#include <string>

#include "package/RecordHead.h"
#include "system/LittleEndian.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr int kManyFiles = 3000;
constexpr std::uint32_t kNoSuchRoot = 0x80000077u;  // no predefined key has this handle

PackageBuilder Full(const Bytes& stub, const std::string& website = "http://www.example.com/demo") {
    PackageBuilder b;
    b.App("Demo App", "Jane Author", "jane@example.com", website)
        .Stub(stub)
        .Dir("InstallDir", "")
        .Dir("InstallDir", "data")
        .File("readme.txt", "InstallDir", "", TextBytes("Demo App read-me\r\n"))
        .File("Uninstall.exe", "InstallDir", "", TextBytes("MZ not really"))
        .File("big.bin", "InstallDir", "data", PatternBytes(200000, 7))
        .Reg(0x80000001u, "Software\\DemoApp", "Path", "{InstallDir}")
        .Reg(0x80000001u, "Software\\DemoApp", "Exe", "{InstallDir}\\demo.exe /s {InstallDir}")
        .Shell(0, "", "", "", "Demo App")
        .Shell(1, "InstallDir", "", "readme.txt", "Read me");
    for (int i = 0; i < 8; ++i) b.File("file" + std::to_string(i) + ".txt", "InstallDir", "data", PatternBytes(1000, i));
    return b;
}

using LittleEndian::Load32;
using LittleEndian::Store32;

Bytes Build(const std::string& scenario, const Bytes& stub) {
    if (scenario == "full") return Full(stub).Build();
    if (scenario == "links") return Full(stub, "C:\\probe\\website.bat").Build();
    if (scenario == "slow") {
        PackageBuilder b = Full(stub);
        for (int i = 0; i < 5; ++i) b.Shell(0, "", "", "", "Demo App " + std::to_string(i));
        return b.Build();
    }
    if (scenario == "many") {
        PackageBuilder b = Full(stub);
        b.Dir("InstallDir", "data\\many");
        for (int i = 0; i < kManyFiles; ++i)
            b.File("item" + std::to_string(i) + ".dat", "InstallDir", "data\\many", PatternBytes(64, i));
        b.Reg(kNoSuchRoot, "Software\\DemoApp", "Unwritable", "x");
        return b.Build();
    }
    Bytes bytes = Full(stub).Build();
    const std::size_t header = bytes.size() - sizeof(RecordHead::TPackHeader);
    const std::uint32_t fileTable = Load32(bytes, header + offsetof(RecordHead::TPackHeader, FileOffset));
    if (scenario == "badtable") {
        Store32(bytes, header + offsetof(RecordHead::TPackHeader, FileOffset), std::uint32_t(bytes.size()) + 4096);
        return bytes;
    }
    if (scenario == "failcopy") {
        // The third file (big.bin) claims more bytes than the file holds.
        const std::size_t item = fileTable + 2 * sizeof(RecordHead::TFileItem);
        Store32(bytes, item + offsetof(RecordHead::TFileItem, Size), std::uint32_t(bytes.size()) * 2);
        return bytes;
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_test_package SCENARIO STUB OUT\n");
        return 2;
    }
    const Bytes bytes = Build(argv[1], ReadFileBytes(argv[2]));
    if (bytes.empty()) {
        std::fprintf(stderr, "make_test_package: unknown scenario %s\n", argv[1]);
        return 2;
    }
    WriteFileBytes(argv[3], bytes);
    return 0;
}
