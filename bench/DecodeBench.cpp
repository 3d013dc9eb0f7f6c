// Decodes a zstd stream file through the setup program's decoder, one 60 KiB
// buffer at a time as the install does, and prints how long it took:
//   decode_bench_VARIANT STREAM  ->  "seconds=S bytes=N"
// One program per build of the decoder (bench/decode-speed.sh).
#include <cstdio>
#include <vector>

#include "bench/BenchClock.h"
#include "system/Decompressor.h"
#include "system/Errors.h"
#include "system/FileStream.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode_bench STREAM\n");
        return 2;
    }
    try {
        TFileStream file = TFileStream::OpenRead(argv[1]);
        Decompressor stream(file, 0, file.Size());
        std::vector<std::uint8_t> buffer(Decompressor::kBufferSize);
        unsigned long long bytes = 0;
        const double start = Seconds();
        while (const std::size_t got = stream.Read(buffer.data(), buffer.size())) bytes += got;
        std::printf("seconds=%.4f bytes=%llu\n", Seconds() - start, bytes);
    } catch (const Exception& error) {
        std::fprintf(stderr, "decode_bench: %s: %s\n", error.TypeName(), error.Message().c_str());
        return 1;
    }
    return 0;
}
