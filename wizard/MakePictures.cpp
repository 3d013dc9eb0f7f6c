// Build step: writes the wizard's side and header pictures as BMP files,
// each compressed as one zstd frame, for the program's data resources.
//   make_pictures SIDE.bmp.zst HEADER.bmp.zst
#include <zstd.h>

#include <cstdio>

#include "wizard/Pictures.h"

namespace {

bool WriteCompressed(const char* path, const Pictures::Bytes& bytes) {
    Pictures::Bytes frame(ZSTD_compressBound(bytes.size()));
    const std::size_t size = ZSTD_compress(frame.data(), frame.size(), bytes.data(), bytes.size(), ZSTD_maxCLevel());
    if (ZSTD_isError(size)) return false;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(frame.data(), 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_pictures SIDE.bmp.zst HEADER.bmp.zst\n");
        return 2;
    }
    using namespace Pictures;
    if (!WriteCompressed(argv[1], Encode4Bit(SideRaster(), kSideColours.palette)) ||
        !WriteCompressed(argv[2], Encode4Bit(HeaderRaster(), kHeaderColours.palette))) {
        std::perror("make_pictures");
        return 1;
    }
    return 0;
}
