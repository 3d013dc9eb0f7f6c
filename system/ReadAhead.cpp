#include "system/ReadAhead.h"

#include <utility>

TReadAhead::TReadAhead(Decompressor& stream, std::vector<std::uint64_t> sizes)
    : stream_(stream), sizes_(std::move(sizes)), slots_(kSlots) {
    for (TSlot& slot : slots_) slot.Bytes.resize(Decompressor::kBufferSize);
    free_.reset(::CreateSemaphoreA(nullptr, kSlots, kSlots, nullptr));
    filled_.reset(::CreateSemaphoreA(nullptr, 0, kSlots, nullptr));
    if (free_ && filled_) thread_.reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
}

TReadAhead::~TReadAhead() {
    if (!thread_) return;
    stop_ = true;
    ::ReleaseSemaphore(free_.get(), 1, nullptr);  // a thread waiting for a slot sees the stop
    ::WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI TReadAhead::ThreadMain(void* self) {
    static_cast<TReadAhead*>(self)->Decode();
    return 0;
}

template <typename Fill>
bool TReadAhead::Produce(Fill&& fill) {
    ::WaitForSingleObject(free_.get(), INFINITE);
    if (stop_) return false;
    TSlot& slot = slots_[filling_];
    filling_ = (filling_ + 1) % kSlots;
    try {
        slot.Size = fill(slot.Bytes.data());
    } catch (...) {
        slot.Error = std::current_exception();
    }
    ::ReleaseSemaphore(filled_.get(), 1, nullptr);
    return !slot.Error;
}

// The decoder calls the writer made itself before: each record in pieces as
// ReadChunks cuts it, then the look for one byte past the end.
void TReadAhead::Decode() {
    for (std::uint64_t size : sizes_) {
        while (size > 0) {
            const std::size_t piece = size < Decompressor::kBufferSize ? std::size_t(size) : Decompressor::kBufferSize;
            if (!Produce([&](std::uint8_t* bytes) {
                    stream_.ReadExact(bytes, piece);
                    return piece;
                }))
                return;
            size -= piece;
        }
    }
    Produce([&](std::uint8_t* bytes) { return stream_.Read(bytes, 1); });
}

const TReadAhead::TSlot& TReadAhead::Take() {
    ::WaitForSingleObject(filled_.get(), INFINITE);
    const TSlot& slot = slots_[writing_];
    // The slot stays taken: the thread has stopped after it, and a later
    // call raises the same again.
    if (slot.Error) {
        ::ReleaseSemaphore(filled_.get(), 1, nullptr);
        std::rethrow_exception(slot.Error);
    }
    return slot;
}

void TReadAhead::Release() {
    writing_ = (writing_ + 1) % kSlots;
    ::ReleaseSemaphore(free_.get(), 1, nullptr);
}

void TReadAhead::CopyTo(ByteSink& to, std::uint64_t size) {
    if (!thread_) {
        CopyBytes(stream_, to, size, slots_[0].Bytes);
        return;
    }
    while (size > 0) {
        const TSlot& slot = Take();
        to.Write(slot.Bytes.data(), slot.Size);
        size -= slot.Size;
        Release();
    }
}

bool TReadAhead::AtEnd() {
    if (!thread_) return stream_.Read(slots_[0].Bytes.data(), 1) == 0;
    const bool end = Take().Size == 0;
    Release();
    return end;
}
