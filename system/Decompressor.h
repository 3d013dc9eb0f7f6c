// Reads the bytes a compressed stream holds: zstd frames, one after another,
// lying in a range of a byte source. The compressed package form and the
// wizard's pictures are stored this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "system/ByteStream.h"

struct ZSTD_DCtx_s;

class Decompressor {
public:
    // The largest window a frame may ask for: 2^25 bytes (32 MiB), so the
    // decoder, with its block buffers and tables (under 0.3 MiB) and the
    // input buffer, stays below 33 MiB. A writer must not choose a larger
    // window; a frame that asks for one is refused as corrupt.
    static constexpr int kWindowLogMax = 25;
    // The most one read hands out and the size of the input buffer: no
    // buffer of the copy is larger.
    static constexpr std::size_t kBufferSize = 0xF000;

    // Reads `size` bytes of `source` from `offset` on. The source is shared:
    // each refill positions it first, so others may read it meanwhile.
    // Raises EOutOfMemory when the decoder cannot be made.
    Decompressor(ByteSource& source, std::uint64_t offset, std::uint64_t size);
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Decodes up to `count` bytes (at most kBufferSize) into `buffer` and
    // returns how many; 0 only at the end of the stream. Raises EReadError
    // when the stream is corrupt, asks for too large a window, or its range
    // ends inside a frame.
    std::size_t Read(void* buffer, std::size_t count);
    // Decodes exactly `count` bytes; raises EReadError when fewer arrive.
    void ReadExact(void* buffer, std::size_t count) { ReadAll(*this, buffer, count); }

    // What the decoder holds now, its buffers included.
    std::size_t MemoryInUse() const;

    // The whole decoded stream of a small compressed block held in memory.
    static std::vector<std::uint8_t> DecodeAll(const std::uint8_t* data, std::size_t size);

private:
    struct FreeContext {
        void operator()(ZSTD_DCtx_s* context) const noexcept;
    };

    bool Refill();

    ByteSource& source_;
    std::uint64_t position_, end_;
    std::unique_ptr<ZSTD_DCtx_s, FreeContext> context_;
    std::vector<std::uint8_t> input_;
    std::size_t inputUsed_ = 0;
    bool frameEnded_ = true;  // no frame begun, or the last one decoded whole
};
