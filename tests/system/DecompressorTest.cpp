// The decoder of compressed streams, fed by the system's zstd compressor.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "system/Decompressor.h"
#include "system/Errors.h"
#include "tests/system/CompressedSamples.h"

namespace {

using namespace CompressedSamples;

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
