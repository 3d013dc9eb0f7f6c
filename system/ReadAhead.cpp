#include "system/ReadAhead.h"

#include <algorithm>
#include <utility>

namespace {

// Holds an exclusive slim lock for its scope.
class TLocked {
public:
    explicit TLocked(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~TLocked() { ::ReleaseSRWLockExclusive(&lock_); }
    TLocked(const TLocked&) = delete;
    TLocked& operator=(const TLocked&) = delete;
    // Sleeps until `wakes` is woken, the lock given up meanwhile.
    void Sleep(CONDITION_VARIABLE& wakes) { ::SleepConditionVariableSRW(&wakes, &lock_, INFINITE, 0); }

private:
    SRWLOCK& lock_;
};

}  // namespace

TReadAhead::TReadAhead(ByteSource& source, std::uint64_t offset, std::uint64_t size, std::vector<std::uint64_t> records)
    : source_(source), position_(offset), end_(offset + size), records_(std::move(records)),
      memory_((kSlots + kChunks) * Decompressor::kBufferSize), decoder_(static_cast<Decompressor::TInput&>(*this)) {
    std::uint8_t* buffer = memory_.data();
    for (TSlot& slot : slots_) slot.Bytes = std::exchange(buffer, buffer + Decompressor::kBufferSize);
    for (TChunk& chunk : chunks_) chunk.Bytes = std::exchange(buffer, buffer + Decompressor::kBufferSize);
    thread_.reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!thread_) Decompressor::RaiseFault(Decompressor::TFault::NoMemory);
}

TReadAhead::~TReadAhead() {
    {
        TLocked locked(lock_);
        stop_ = true;
    }
    ::WakeConditionVariable(&threadWakes_);
    ::WaitForSingleObject(thread_.get(), INFINITE);
}

// ---- the second thread ------------------------------------------------------

DWORD WINAPI TReadAhead::ThreadMain(void* self) {
    auto& ahead = *static_cast<TReadAhead*>(self);
    ahead.Decode();
    TLocked locked(ahead.lock_);
    ahead.finished_ = true;
    ::WakeConditionVariable(&ahead.writerWakes_);
    return 0;
}

void TReadAhead::Decode() {
    for (std::uint64_t size : records_) {
        while (size > 0) {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, Decompressor::kBufferSize));
            if (!Produce(piece, true)) return;
            size -= piece;
        }
    }
    Produce(1, false);
}

// Decodes `count` bytes into the next free slot, or what there is when not
// `exact`. False once the thread is to stop: asked to, or a fault.
bool TReadAhead::Produce(std::size_t count, bool exact) {
    {
        TLocked locked(lock_);
        while (slotsFilled_ == kSlots && !stop_) locked.Sleep(threadWakes_);
        if (stop_) return false;
    }
    TSlot& slot = slots_[filling_];
    filling_ = (filling_ + 1) % kSlots;
    slot.Size = 0;
    slot.Fault = Decompressor::TFault::None;
    while (slot.Size < count) {
        const std::size_t got = decoder_.TryRead(slot.Bytes + slot.Size, count - slot.Size, slot.Fault);
        if (got == 0) {
            // The stream ended early: what ReadExact raises.
            if (exact && slot.Fault == Decompressor::TFault::None) slot.Fault = Decompressor::TFault::Damaged;
            break;
        }
        slot.Size += got;
    }
    const bool decoded = slot.Fault == Decompressor::TFault::None;
    TLocked locked(lock_);
    ++slotsFilled_;  // the slot is the writer's from here
    ::WakeConditionVariable(&writerWakes_);
    return decoded && !stop_;
}

bool TReadAhead::Next(std::span<const std::uint8_t>& piece) {
    TLocked locked(lock_);
    if (chunkHeld_) {
        chunkHeld_ = false;
        eating_ = (eating_ + 1) % kChunks;
        --chunksFilled_;
        ::WakeConditionVariable(&writerWakes_);
    }
    while (chunksFilled_ == 0 && !stop_) locked.Sleep(threadWakes_);
    if (stop_) return false;
    chunkHeld_ = true;
    const TChunk& chunk = chunks_[eating_];
    piece = {chunk.Bytes, chunk.Size};
    return !chunk.Failed;
}

// ---- the writing thread -----------------------------------------------------

// Reads the next compressed piece into a free chunk: empty at the range's
// end, failed where the package ends before it.
void TReadAhead::Feed() {
    TChunk& chunk = chunks_[feeding_];
    feeding_ = (feeding_ + 1) % kChunks;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(Decompressor::kBufferSize, end_ - position_));
    chunk.Size = 0;
    chunk.Failed = false;
    if (count > 0) {
        source_.Seek(position_);
        chunk.Size = source_.Read(chunk.Bytes, count);
        chunk.Failed = chunk.Size == 0;
        position_ += chunk.Size;
    }
    inputDone_ = count == 0 || chunk.Failed;
    TLocked locked(lock_);
    ++chunksFilled_;
    ::WakeConditionVariable(&threadWakes_);
}

// The next decoded piece, keeping the decoder fed meanwhile; raises the
// fault decoding stopped at.
const TReadAhead::TSlot& TReadAhead::Take() {
    for (;;) {
        bool feed, ready;
        {
            TLocked locked(lock_);
            while (slotsFilled_ == 0 && !finished_ && (inputDone_ || chunksFilled_ == kChunks))
                locked.Sleep(writerWakes_);
            feed = !inputDone_ && !finished_ && chunksFilled_ < kChunks;
            ready = slotsFilled_ > 0;
        }
        if (feed) {
            Feed();
            continue;
        }
        if (!ready) RaiseReadError();  // more asked for than the records hold
        break;
    }
    const TSlot& slot = slots_[writing_];
    // A faulty slot stays filled: the thread has stopped after it, and a
    // later call raises the same again.
    Decompressor::RaiseFault(slot.Fault);
    return slot;
}

void TReadAhead::Release() {
    writing_ = (writing_ + 1) % kSlots;
    TLocked locked(lock_);
    --slotsFilled_;
    ::WakeConditionVariable(&threadWakes_);
}

void TReadAhead::CopyTo(ByteSink& to, std::uint64_t size) {
    while (size > 0) {
        const TSlot& slot = Take();
        to.Write(slot.Bytes, slot.Size);
        size -= slot.Size;
        Release();
    }
}

bool TReadAhead::AtEnd() {
    const bool end = Take().Size == 0;
    Release();
    return end;
}
