// The byte source the package reader reads from and the byte sink the
// package writer writes to: a file on either platform, or memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "system/Errors.h"

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() = 0;
    // Positions the next read; a position past the end makes reads return 0.
    virtual void Seek(std::uint64_t position) = 0;
    // Reads up to `count` bytes and returns how many were read.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;

    // Reads exactly `count` bytes; raises EReadError when fewer arrive.
    void ReadExact(void* buffer, std::size_t count);
};

// Reads exactly `count` bytes through from.Read, which returns 0 only at the
// end (a ByteSource, the Decompressor); raises EReadError when fewer arrive.
template <typename Reader>
void ReadAll(Reader& from, void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const std::size_t got = from.Read(out, count);
        if (got == 0) RaiseReadError();
        out += got;
        count -= got;
    }
}

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all `count` bytes; raises EWriteError when fewer are stored.
    virtual void Write(const void* buffer, std::size_t count) = 0;
};

// The chunked reads and copies of every program. `Source` is a ByteSource or
// another reader with its Read and ReadExact (the Decompressor, TReadAhead).

// Reads `size` bytes from the source's current position through `buffer`
// and hands each chunk to take(bytes, count); raises EReadError when the
// source ends early.
template <typename Source, typename Take>
void ReadChunks(Source& from, std::uint64_t size, std::span<std::uint8_t> buffer, Take&& take) {
    while (size > 0) {
        const std::size_t chunk = size < buffer.size() ? static_cast<std::size_t>(size) : buffer.size();
        from.ReadExact(buffer.data(), chunk);
        take(buffer.data(), chunk);
        size -= chunk;
    }
}

// Reads from the source's current position to its end through `buffer`,
// handing each chunk to take(bytes, count); returns the bytes read.
template <typename Source, typename Take>
std::uint64_t ReadToEnd(Source& from, std::span<std::uint8_t> buffer, Take&& take) {
    std::uint64_t total = 0;
    while (const std::size_t got = from.Read(buffer.data(), buffer.size())) {
        take(buffer.data(), got);
        total += got;
    }
    return total;
}

// Copies `size` bytes from the source's current position into `to`; raises
// EReadError when the source ends early, EWriteError when `to` takes less.
template <typename Source>
void CopyBytes(Source& from, ByteSink& to, std::uint64_t size, std::span<std::uint8_t> buffer) {
    ReadChunks(from, size, buffer, [&](const std::uint8_t* bytes, std::size_t count) { to.Write(bytes, count); });
}

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() override { return bytes_.size(); }
    void Seek(std::uint64_t position) override { position_ = position; }
    std::size_t Read(void* buffer, std::size_t count) override;

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

class MemorySink final : public ByteSink {
public:
    void Write(const void* buffer, std::size_t count) override;
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};
