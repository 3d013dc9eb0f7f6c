// Build step: writes the wizard's side and header pictures as BMP files.
//   make_pictures SIDE.bmp HEADER.bmp
#include <cstdio>

#include "wizard/Pictures.h"

namespace {

bool WriteFile(const char* path, const Pictures::Bytes& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_pictures SIDE.bmp HEADER.bmp\n");
        return 2;
    }
    using namespace Pictures;
    if (!WriteFile(argv[1], Encode4Bit(SideRaster(), kSideColours.palette)) ||
        !WriteFile(argv[2], Encode4Bit(HeaderRaster(), kHeaderColours.palette))) {
        std::perror("make_pictures");
        return 1;
    }
    return 0;
}
