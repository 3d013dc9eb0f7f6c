#include "system/ByteStream.h"

#include <algorithm>
#include <cstring>

#include "system/Errors.h"

void ByteSource::ReadExact(void* buffer, std::size_t count) { ReadAll(*this, buffer, count); }

std::size_t MemorySource::Read(void* buffer, std::size_t count) {
    if (position_ >= bytes_.size()) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - position_));
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void MemorySink::Write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), in, in + count);
}
