// Writes a small PE32 image with a manifest and a MAINICON, laid out as the
// setup program is, for command-line tests that need a stub able to take
// the package's icon and version resource.
//   make_test_stub OUT
#include <cstdio>

#include "tests/tools/pe/PeTestImage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_stub OUT\n");
        return 2;
    }
    using namespace ResourceEditor;
    const Bytes group = {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 0xA8, 0x10, 0, 0, 1, 0};
    WriteFileBytes(argv[1], SmallPeImage({{TName::Number(24), TName::Number(1), 0x409, 0, TextBytes("<assembly/>")},
                                          {TName::Number(kIconType), TName::Number(1), 0x409, 0, PatternBytes(0x10A8)},
                                          {TName::Number(kGroupIconType), TName::Named(u"MAINICON"), 0x409, 0, group}}));
    return 0;
}
