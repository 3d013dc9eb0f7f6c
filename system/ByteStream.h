// The byte source the package reader reads from and the byte sink the
// package writer writes to: a file on either platform, or memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all `count` bytes; raises EWriteError when fewer are stored.
    virtual void Write(const void* buffer, std::size_t count) = 0;
};

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
