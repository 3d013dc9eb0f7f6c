// Reads the bytes a compressed stream holds: zstd frames, one after another,
// lying in a range of a byte source. The compressed package form and the
// wizard's pictures are stored this way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
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

    // Why a read gave nothing, for a reader that raises nothing itself.
    enum class TFault : std::uint8_t {
        None,
        Damaged,   // EReadError: the stream is corrupt, asks for too large a window, or ends inside a frame
        NoMemory,  // EOutOfMemory: the decoder could not get its window
    };

    // Where the compressed bytes come from, a piece at a time.
    class TInput {
    public:
        // The next bytes of the stream, at most kBufferSize; empty at its end
        // (and at every call after). False when they cannot be had (the
        // source is shorter than the stream's range).
        virtual bool Next(std::span<const std::uint8_t>& piece) = 0;

    protected:
        ~TInput() = default;
    };

    // Reads `size` bytes of `source` from `offset` on. The source is shared:
    // each refill positions it first, so others may read it meanwhile.
    // Raises EOutOfMemory when the decoder cannot be made.
    Decompressor(ByteSource& source, std::uint64_t offset, std::uint64_t size);
    // Reads what `input` hands out; raises EOutOfMemory as above.
    explicit Decompressor(TInput& input);
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Decodes up to `count` bytes (at most kBufferSize) into `buffer` and
    // returns how many; 0 only at the end of the stream. Raises EReadError
    // when the stream is corrupt, asks for too large a window, or its range
    // ends inside a frame.
    std::size_t Read(void* buffer, std::size_t count);
    // The same without raising: 0 with `fault` set instead. What the input
    // raises passes through.
    std::size_t TryRead(void* buffer, std::size_t count, TFault& fault);
    // Decodes exactly `count` bytes; raises EReadError when fewer arrive.
    void ReadExact(void* buffer, std::size_t count) { ReadAll(*this, buffer, count); }
    // True when the stream has no byte left, its last frame checked whole;
    // raises as Read.
    bool AtEnd();

    // What the decoder holds now, its buffers included.
    std::size_t MemoryInUse() const;

    // The whole decoded stream of a small compressed block held in memory.
    static std::vector<std::uint8_t> DecodeAll(const std::uint8_t* data, std::size_t size);

    // Raises what `fault` stands for; nothing for TFault::None.
    static void RaiseFault(TFault fault);

private:
    struct FreeContext {
        void operator()(ZSTD_DCtx_s* context) const noexcept;
    };
    // A decoder context bounded to kWindowLogMax; raises EOutOfMemory when
    // it cannot be made.
    static std::unique_ptr<ZSTD_DCtx_s, FreeContext> NewContext();
    // The pieces of a range of a byte source.
    class TSourceInput final : public TInput {
    public:
        TSourceInput(ByteSource& source, std::uint64_t offset, std::uint64_t size);
        bool Next(std::span<const std::uint8_t>& piece) override;
        std::size_t Capacity() const { return buffer_.capacity(); }

    private:
        ByteSource& source_;
        std::uint64_t position_, end_;
        std::vector<std::uint8_t> buffer_;
    };

    std::optional<TSourceInput> own_;
    TInput& input_;
    std::unique_ptr<ZSTD_DCtx_s, FreeContext> context_;
    std::span<const std::uint8_t> piece_;  // the input's last piece
    std::size_t pieceUsed_ = 0;
    bool inputEnded_ = false;
    bool frameEnded_ = true;  // no frame begun, or the last one decoded whole
};
