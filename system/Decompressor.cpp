#include "system/Decompressor.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <string>

#include "system/Errors.h"

void Decompressor::FreeContext::operator()(ZSTD_DCtx_s* context) const noexcept { ZSTD_freeDCtx(context); }

Decompressor::TSourceInput::TSourceInput(ByteSource& source, std::uint64_t offset, std::uint64_t size)
    : source_(source), position_(offset), end_(offset + size) {
    buffer_.reserve(kBufferSize);
}

bool Decompressor::TSourceInput::Next(std::span<const std::uint8_t>& piece) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, end_ - position_));
    buffer_.resize(count);
    piece = {};
    if (count == 0) return true;
    source_.Seek(position_);
    const std::size_t got = source_.Read(buffer_.data(), count);
    if (got == 0) return false;  // the source is shorter than the range
    position_ += got;
    piece = {buffer_.data(), got};
    return true;
}

Decompressor::Decompressor(ByteSource& source, std::uint64_t offset, std::uint64_t size)
    : own_(std::in_place, source, offset, size), input_(*own_), context_(NewContext()) {}

Decompressor::Decompressor(TInput& input) : input_(input), context_(NewContext()) {}

std::unique_ptr<ZSTD_DCtx_s, Decompressor::FreeContext> Decompressor::NewContext() {
    std::unique_ptr<ZSTD_DCtx_s, FreeContext> context(ZSTD_createDCtx());
    if (!context || ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, kWindowLogMax)))
        RaiseFault(TFault::NoMemory);
    return context;
}

Decompressor::~Decompressor() = default;

void Decompressor::RaiseFault(TFault fault) {
    if (fault == TFault::NoMemory) ::Raise(EOutOfMemory(std::string(ErrorText::OutOfMemory)));
    if (fault == TFault::Damaged) RaiseReadError();
}

std::size_t Decompressor::TryRead(void* buffer, std::size_t count, TFault& fault) {
    fault = TFault::None;
    ZSTD_outBuffer out{buffer, std::min(count, kBufferSize), 0};
    while (out.size > 0) {
        if (pieceUsed_ == piece_.size() && !inputEnded_) {
            pieceUsed_ = 0;
            if (!input_.Next(piece_)) {
                piece_ = {};
                fault = TFault::Damaged;
                return 0;
            }
            inputEnded_ = piece_.empty();
        }
        const bool more = pieceUsed_ < piece_.size();
        if (!more && frameEnded_) break;
        ZSTD_inBuffer in{piece_.data(), piece_.size(), pieceUsed_};
        // Called without input too: the decoder may still hold decoded bytes.
        const std::size_t result = ZSTD_decompressStream(context_.get(), &out, &in);
        if (ZSTD_isError(result)) {
            fault = ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation ? TFault::NoMemory : TFault::Damaged;
            return 0;
        }
        pieceUsed_ = in.pos;
        frameEnded_ = result == 0;
        if (out.pos > 0) break;
        if (!more && !frameEnded_) {  // the range ends inside a frame
            fault = TFault::Damaged;
            return 0;
        }
    }
    return out.pos;
}

std::size_t Decompressor::Read(void* buffer, std::size_t count) {
    TFault fault;
    const std::size_t got = TryRead(buffer, count, fault);
    RaiseFault(fault);
    return got;
}

bool Decompressor::AtEnd() {
    std::uint8_t more;
    return Read(&more, 1) == 0;
}

std::size_t Decompressor::MemoryInUse() const {
    return ZSTD_sizeof_DCtx(context_.get()) + (own_ ? own_->Capacity() : 0);
}

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
