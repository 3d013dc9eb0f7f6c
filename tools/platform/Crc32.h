// CRC-32 as in zlib and PNG (reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF), computed by zlib. The packaging tool stores one
// over the whole package file in the header's Reserved field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "system/ByteStream.h"

class TCrc32 {
public:
    void Update(const void* bytes, std::size_t size);
    std::uint32_t Value() const { return value_; }

private:
    std::uint32_t value_ = 0;  // zlib's running value: the CRC of what went in so far
};

// A sink that passes every byte on and keeps the CRC-32 of what went through.
class TCrcSink final : public ByteSink {
public:
    explicit TCrcSink(ByteSink& next) : next_(next) {}
    void Write(const void* buffer, std::size_t count) override {
        next_.Write(buffer, count);
        crc_.Update(buffer, count);
    }
    TCrc32& Crc() { return crc_; }

private:
    ByteSink& next_;
    TCrc32 crc_;
};
