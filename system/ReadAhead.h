// Decodes the install's compressed stream on a second thread into a small
// ring of buffers, so that decoding runs beside the work of the thread that
// writes the files.
//
// The second thread raises nothing: it only decodes (Decompressor::TryRead)
// and waits for the writer. The writing thread reads the compressed bytes
// from the package into a second ring, and raises, when it reaches the piece
// where decoding stopped, what decoding on its own thread would have raised
// there. The decoder is asked exactly what the writer would ask: each
// record's bytes in pieces of at most Decompressor::kBufferSize, then one
// byte more (there must be none). So the files, their bytes and the error
// are those of the direct reads.
//
// The two threads meet at a slim lock and two condition variables, which
// Wine keeps inside the process; a semaphore would cost a call to the Wine
// server for every piece.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "system/ByteStream.h"
#include "system/Decompressor.h"
#include "system/Handles.h"

class TReadAhead final : private Decompressor::TInput {
public:
    static constexpr std::size_t kSlots = 4;   // decoded pieces ahead of the writer
    static constexpr std::size_t kChunks = 4;  // compressed pieces ahead of the decoder

    // Starts decoding the `size` bytes of `source` from `offset` on as the
    // records of `records`, in order. The source is read by the caller's
    // thread only, inside the calls below. Raises EOutOfMemory when the
    // decoder or the thread cannot be made.
    TReadAhead(ByteSource& source, std::uint64_t offset, std::uint64_t size, std::vector<std::uint64_t> records);
    // Stops the thread (it finishes the piece it is decoding) and waits for it.
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Writes the next record, whose size must be the next of `records`, to
    // `to`. Raises as Decompressor::ReadExact and ByteSink::Write.
    void CopyTo(ByteSink& to, std::uint64_t size);
    // After the last record: true when the stream ends there.
    bool AtEnd();

private:
    struct TSlot {
        std::uint8_t* Bytes = nullptr;
        std::size_t Size = 0;  // bytes decoded into it
        Decompressor::TFault Fault = Decompressor::TFault::None;
    };
    struct TChunk {
        std::uint8_t* Bytes = nullptr;
        std::size_t Size = 0;
        bool Failed = false;  // the package ended before the stream's range
    };

    // The second thread.
    static DWORD WINAPI ThreadMain(void* self);
    void Decode();
    bool Produce(std::size_t count, bool exact);
    bool Next(std::span<const std::uint8_t>& piece) override;

    // The writing thread.
    const TSlot& Take();
    void Release();
    void Feed();

    ByteSource& source_;
    std::uint64_t position_, end_;  // the compressed bytes not yet read
    const std::vector<std::uint64_t> records_;
    std::vector<std::uint8_t> memory_;  // the buffers of both rings
    std::array<TSlot, kSlots> slots_;
    std::array<TChunk, kChunks> chunks_;
    Decompressor decoder_;
    // Shared, under lock_: each side sleeps on its own condition until the
    // other changes a count or asks it to stop.
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE writerWakes_ = CONDITION_VARIABLE_INIT, threadWakes_ = CONDITION_VARIABLE_INIT;
    std::size_t slotsFilled_ = 0;   // decoded and not yet written, the one being written included
    std::size_t chunksFilled_ = 0;  // read and not yet decoded, the one being decoded included
    bool stop_ = false;
    bool finished_ = false;  // the thread has decoded its last piece or stopped
    // Each side's own.
    std::size_t filling_ = 0, writing_ = 0;  // slots: the thread's next, the writer's next
    std::size_t feeding_ = 0, eating_ = 0;   // chunks: the writer's next, the thread's
    bool chunkHeld_ = false;                 // the thread decodes from chunks_[eating_]
    bool inputDone_ = false;                 // the writer has handed over the end or a failure
    UniqueKernelHandle thread_;
};
