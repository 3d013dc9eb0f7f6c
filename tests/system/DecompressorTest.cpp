// The decoder of compressed streams, fed by the system's zstd compressor.
#include <gtest/gtest.h>

#include <zstd.h>

#include <cstdint>
#include <vector>

#include "system/Decompressor.h"
#include "system/Errors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Text-like bytes that compress, with some noise that does not.
Bytes Sample(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = i % 7 == 0 ? std::uint8_t(seed >> 24) : std::uint8_t("setup wizard "[i % 13]);
    }
    return bytes;
}

// One frame with the given window; streamed, so the frame leaves its content
// size open and the decoder must keep the whole window.
Bytes Compress(const Bytes& data, int windowLog = 20) {
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

// Everything the decoder gives for `size` bytes at `offset`, read `piece` at a time.
Bytes DecodeRange(const Bytes& file, std::uint64_t offset, std::uint64_t size, std::size_t piece) {
    MemorySource source(file);
    Decompressor decoder(source, offset, size);
    Bytes out, buffer(piece);
    while (const std::size_t got = decoder.Read(buffer.data(), piece)) {
        EXPECT_LE(got, Decompressor::kBufferSize);
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

}  // namespace

TEST(Decompressor, DecodesConsecutiveFramesInTheirRangeOnly) {
    const Bytes first = Sample(300'000, 1), second = Sample(5'000, 2);
    Bytes file = {'x', 'y', 'z'};  // before the range
    for (const Bytes* part : {&first, &second}) {
        const Bytes frame = Compress(*part);
        file.insert(file.end(), frame.begin(), frame.end());
    }
    const std::uint64_t size = file.size() - 3;
    file.insert(file.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9});  // after it: not a frame
    Bytes whole = first;
    whole.insert(whole.end(), second.begin(), second.end());
    // Pieces smaller and larger than the most one read hands out.
    EXPECT_EQ(DecodeRange(file, 3, size, 1000), whole);
    EXPECT_EQ(DecodeRange(file, 3, size, 100'000), whole);
}

TEST(Decompressor, ReadExactRaisesWhenTheStreamEnds) {
    const Bytes data = Sample(70'000, 3), frame = Compress(data);
    MemorySource source(frame);
    Decompressor decoder(source, 0, frame.size());
    Bytes out(data.size());
    decoder.ReadExact(out.data(), out.size());
    EXPECT_EQ(out, data);
    std::uint8_t more;
    EXPECT_THROW(decoder.ReadExact(&more, 1), EReadError);
}

TEST(Decompressor, RefusesDamagedStreams) {
    const Bytes frame = Compress(Sample(200'000, 4));
    Bytes flipped = frame;
    flipped[flipped.size() / 2] ^= 0x10;
    Bytes shortOne(frame.begin(), frame.end() - 1);
    for (const Bytes* damaged : {&flipped, &shortOne})
        EXPECT_THROW(DecodeRange(*damaged, 0, damaged->size(), 4096), EReadError);
    // A range longer than its source.
    EXPECT_THROW(DecodeRange(frame, 0, frame.size() + 10, 4096), EReadError);
}

TEST(Decompressor, MemoryStaysBoundedByTheLargestWindow) {
    // A window of exactly the limit decodes; its whole decoder stays within 33 MiB.
    const Bytes data = Sample(std::size_t(1) << 20, 5);
    const Bytes limit = Compress(data, Decompressor::kWindowLogMax);
    MemorySource source(limit);
    Decompressor decoder(source, 0, limit.size());
    Bytes out(data.size());
    decoder.ReadExact(out.data(), out.size());
    EXPECT_EQ(out, data);
    EXPECT_GT(decoder.MemoryInUse(), std::size_t(32) << 20);
    EXPECT_LT(decoder.MemoryInUse(), std::size_t(33) << 20);
    // One step larger is refused before anything is decoded.
    const Bytes larger = Compress(data, Decompressor::kWindowLogMax + 1);
    EXPECT_THROW(DecodeRange(larger, 0, larger.size(), 4096), EReadError);
}

TEST(Decompressor, DecodeAllGivesTheWholeStream) {
    const Bytes data = Sample(150'000, 6), frame = Compress(data);
    EXPECT_EQ(Decompressor::DecodeAll(frame.data(), frame.size()), data);
}
