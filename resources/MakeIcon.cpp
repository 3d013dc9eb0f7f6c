// Build step: writes the application icon.   make_icon OUT.ico
#include <cstdio>

#include "resources/ApplicationIcon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT.ico\n");
        return 2;
    }
    const auto bytes = ApplicationIcon::Encode();
    std::FILE* file = std::fopen(argv[1], "wb");
    const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!file || std::fclose(file) != 0 || !written) {
        std::perror("make_icon");
        return 1;
    }
    return 0;
}
