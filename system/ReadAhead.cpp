#include "system/ReadAhead.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

HANDLE NewSemaphore(std::size_t count) { return ::CreateSemaphoreA(nullptr, LONG(count), LONG_MAX, nullptr); }

}  // namespace

TReadAhead::TReadAhead(ByteSource& source, std::uint64_t offset, std::uint64_t size, std::vector<std::uint64_t> records)
    : source_(source), position_(offset), end_(offset + size), records_(std::move(records)), slots_(kSlots),
      chunks_(kChunks) {
    for (TSlot& slot : slots_) slot.Bytes.resize(Decompressor::kBufferSize);
    for (TChunk& chunk : chunks_) chunk.Bytes.resize(Decompressor::kBufferSize);
    slotFree_.reset(NewSemaphore(kSlots));
    slotFilled_.reset(NewSemaphore(0));
    chunkFree_.reset(NewSemaphore(kChunks));
    chunkFilled_.reset(NewSemaphore(0));
    if (slotFree_ && slotFilled_ && chunkFree_ && chunkFilled_) {
        decoder_.emplace(static_cast<Decompressor::TInput&>(*this));
        thread_.reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    }
    if (!thread_) decoder_.emplace(source, offset, size);
}

TReadAhead::~TReadAhead() {
    if (!thread_) return;
    stop_ = true;
    // Whichever it waits for, the thread wakes and sees the stop.
    ::ReleaseSemaphore(slotFree_.get(), 1, nullptr);
    ::ReleaseSemaphore(chunkFilled_.get(), 1, nullptr);
    ::WaitForSingleObject(thread_.get(), INFINITE);
}

// ---- the second thread ------------------------------------------------------

DWORD WINAPI TReadAhead::ThreadMain(void* self) {
    static_cast<TReadAhead*>(self)->Decode();
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
    if (::WaitForSingleObject(slotFree_.get(), INFINITE) != WAIT_OBJECT_0 || stop_) return false;
    TSlot& slot = slots_[filling_];
    filling_ = (filling_ + 1) % kSlots;
    slot.Size = 0;
    slot.Fault = Decompressor::TFault::None;
    while (slot.Size < count) {
        const std::size_t got = decoder_->TryRead(slot.Bytes.data() + slot.Size, count - slot.Size, slot.Fault);
        if (got == 0) {
            // The stream ended early: what ReadExact raises.
            if (exact && slot.Fault == Decompressor::TFault::None) slot.Fault = Decompressor::TFault::Damaged;
            break;
        }
        slot.Size += got;
    }
    const bool decoded = slot.Fault == Decompressor::TFault::None;
    ::ReleaseSemaphore(slotFilled_.get(), 1, nullptr);  // the slot is the writer's from here
    return decoded && !stop_;
}

bool TReadAhead::Next(std::span<const std::uint8_t>& piece) {
    if (chunkHeld_) {
        chunkHeld_ = false;
        eating_ = (eating_ + 1) % kChunks;
        ::ReleaseSemaphore(chunkFree_.get(), 1, nullptr);
    }
    if (::WaitForSingleObject(chunkFilled_.get(), INFINITE) != WAIT_OBJECT_0 || stop_) return false;
    chunkHeld_ = true;
    const TChunk& chunk = chunks_[eating_];
    piece = {chunk.Bytes.data(), chunk.Size};
    return !chunk.Failed;
}

// ---- the writing thread -----------------------------------------------------

// Reads the next compressed piece into a free chunk (taken already): empty at
// the range's end, failed where the package ends before it.
void TReadAhead::Feed() {
    TChunk& chunk = chunks_[feeding_];
    feeding_ = (feeding_ + 1) % kChunks;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(Decompressor::kBufferSize, end_ - position_));
    chunk.Size = 0;
    chunk.Failed = false;
    if (count > 0) {
        source_.Seek(position_);
        chunk.Size = source_.Read(chunk.Bytes.data(), count);
        chunk.Failed = chunk.Size == 0;
        position_ += chunk.Size;
    }
    inputDone_ = count == 0 || chunk.Failed;
    ::ReleaseSemaphore(chunkFilled_.get(), 1, nullptr);
}

// The next decoded piece, feeding the decoder meanwhile; raises the fault
// decoding stopped at.
const TReadAhead::TSlot& TReadAhead::Take() {
    for (;;) {
        while (!inputDone_ && ::WaitForSingleObject(chunkFree_.get(), 0) == WAIT_OBJECT_0) Feed();
        const HANDLE waits[] = {slotFilled_.get(), chunkFree_.get()};
        const DWORD woke = ::WaitForMultipleObjects(inputDone_ ? 1 : 2, waits, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0) break;
        if (woke != WAIT_OBJECT_0 + 1) RaiseReadError();
        Feed();
    }
    const TSlot& slot = slots_[writing_];
    if (slot.Fault != Decompressor::TFault::None) {
        // The slot stays taken: the thread has stopped after it, and a later
        // call raises the same again.
        ::ReleaseSemaphore(slotFilled_.get(), 1, nullptr);
        Decompressor::RaiseFault(slot.Fault);
    }
    return slot;
}

void TReadAhead::Release() {
    writing_ = (writing_ + 1) % kSlots;
    ::ReleaseSemaphore(slotFree_.get(), 1, nullptr);
}

void TReadAhead::CopyTo(ByteSink& to, std::uint64_t size) {
    if (!thread_) {
        CopyBytes(*decoder_, to, size, slots_[0].Bytes);
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
    if (!thread_) return decoder_->AtEnd();
    const bool end = Take().Size == 0;
    Release();
    return end;
}
