// Decodes the install's compressed stream on a second thread into a small
// ring of buffers, so that decoding runs beside the work of the thread that
// writes the files. The second thread asks the decoder for exactly what the
// writing thread asked for before: each record's bytes in pieces of at most
// Decompressor::kBufferSize, then one byte more (there must be none). So the
// writer gets the same bytes, and whatever the decoder raised (a damaged
// stream, a failed read of the package) after the same pieces, as the same
// exception.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "system/ByteStream.h"
#include "system/Decompressor.h"
#include "system/Handles.h"

class TReadAhead {
public:
    // Buffers decoded ahead, each of Decompressor::kBufferSize bytes.
    static constexpr std::size_t kSlots = 4;

    // Starts decoding the records of `sizes`, in order: the decoder and its
    // source belong to the second thread until this object goes. Where no
    // thread can be started, the calls below decode on the caller's thread.
    TReadAhead(Decompressor& stream, std::vector<std::uint64_t> sizes);
    // Stops the thread (it finishes the piece it is decoding) and waits for it.
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Writes the next record, whose size must be the next of `sizes`, to `to`.
    void CopyTo(ByteSink& to, std::uint64_t size);
    // After the last record: true when the stream ends there.
    bool AtEnd();

private:
    struct TSlot {
        std::vector<std::uint8_t> Bytes;
        std::size_t Size = 0;      // bytes decoded into it
        std::exception_ptr Error;  // what the decoder raised instead
    };

    static DWORD WINAPI ThreadMain(void* self);
    void Decode();
    // Fills the next free slot by `fill`; false when the thread is to stop.
    template <typename Fill>
    bool Produce(Fill&& fill);
    // The next filled slot; raises what the decoder raised for it.
    const TSlot& Take();
    void Release();

    Decompressor& stream_;
    const std::vector<std::uint64_t> sizes_;
    std::vector<TSlot> slots_;
    UniqueKernelHandle free_, filled_;  // semaphores: slots to decode into, slots to write from
    std::atomic<bool> stop_{false};
    UniqueKernelHandle thread_;
    std::size_t filling_ = 0;  // the slot the thread fills next
    std::size_t writing_ = 0;  // the slot the writer takes next
};
