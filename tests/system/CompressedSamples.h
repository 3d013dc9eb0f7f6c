// Sample data and zstd frames made by the library's own compressor, for the
// tests of the decoder and of its read-ahead.
#pragma once

#include <zstd.h>

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace CompressedSamples {

using Bytes = std::vector<std::uint8_t>;

// Text-like bytes that compress, with some noise that does not.
inline Bytes Sample(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = i % 7 == 0 ? std::uint8_t(seed >> 24) : std::uint8_t("setup wizard "[i % 13]);
    }
    return bytes;
}

// One frame with the given window; streamed, so the frame leaves its content
// size open and the decoder must keep the whole window.
inline Bytes Compress(const Bytes& data, int windowLog = 20) {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    Bytes out(ZSTD_compressBound(data.size()) + 64);
    ZSTD_inBuffer in{data.data(), data.size(), 0};
    ZSTD_outBuffer frame{out.data(), out.size(), 0};
    // Ending in a later call: one that ends at once records the content size.
    EXPECT_FALSE(ZSTD_isError(ZSTD_compressStream2(context, &frame, &in, ZSTD_e_continue)));
    EXPECT_EQ(ZSTD_compressStream2(context, &frame, &in, ZSTD_e_end), 0u);
    ZSTD_freeCCtx(context);
    out.resize(frame.pos);
    return out;
}

}  // namespace CompressedSamples
