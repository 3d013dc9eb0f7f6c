#include "system/Decompressor.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <string>

#include "system/Errors.h"

namespace {

[[noreturn]] void RaiseOutOfMemory() { Raise(EOutOfMemory(std::string(ErrorText::OutOfMemory))); }

// A failed decoder call: memory it could not get, or a stream it refuses.
[[noreturn]] void RaiseDecodeError(std::size_t result) {
    if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation) RaiseOutOfMemory();
    RaiseReadError();
}

}  // namespace

void Decompressor::FreeContext::operator()(ZSTD_DCtx_s* context) const noexcept { ZSTD_freeDCtx(context); }

Decompressor::Decompressor(ByteSource& source, std::uint64_t offset, std::uint64_t size)
    : source_(source), position_(offset), end_(offset + size), context_(ZSTD_createDCtx()) {
    if (!context_) RaiseOutOfMemory();
    const std::size_t set = ZSTD_DCtx_setParameter(context_.get(), ZSTD_d_windowLogMax, kWindowLogMax);
    if (ZSTD_isError(set)) RaiseDecodeError(set);
    input_.reserve(kBufferSize);
}

Decompressor::~Decompressor() = default;

bool Decompressor::Refill() {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, end_ - position_));
    input_.resize(count);
    inputUsed_ = 0;
    if (count == 0) return false;
    source_.Seek(position_);
    const std::size_t got = source_.Read(input_.data(), count);
    if (got == 0) RaiseReadError();  // the source is shorter than the range
    input_.resize(got);
    position_ += got;
    return true;
}

std::size_t Decompressor::Read(void* buffer, std::size_t count) {
    ZSTD_outBuffer out{buffer, std::min(count, kBufferSize), 0};
    while (out.size > 0) {
        const bool more = inputUsed_ < input_.size() || Refill();
        if (!more && frameEnded_) break;
        ZSTD_inBuffer in{input_.data(), input_.size(), inputUsed_};
        // Called without input too: the decoder may still hold decoded bytes.
        const std::size_t result = ZSTD_decompressStream(context_.get(), &out, &in);
        if (ZSTD_isError(result)) RaiseDecodeError(result);
        inputUsed_ = in.pos;
        frameEnded_ = result == 0;
        if (out.pos > 0) break;
        if (!more && !frameEnded_) RaiseReadError();  // the range ends inside a frame
    }
    return out.pos;
}

std::size_t Decompressor::MemoryInUse() const { return ZSTD_sizeof_DCtx(context_.get()) + input_.capacity(); }

std::vector<std::uint8_t> Decompressor::DecodeAll(const std::uint8_t* data, std::size_t size) {
    MemorySource source({data, size});
    Decompressor decoder(source, 0, size);
    std::vector<std::uint8_t> bytes;
    for (;;) {
        const std::size_t at = bytes.size();
        bytes.resize(at + kBufferSize);
        const std::size_t got = decoder.Read(bytes.data() + at, kBufferSize);
        bytes.resize(at + got);
        if (got == 0) return bytes;
    }
}
