#include "tools/platform/Crc32.h"

#include <zlib.h>

void TCrc32::Update(const void* bytes, std::size_t size) {
    value_ = static_cast<std::uint32_t>(crc32_z(value_, static_cast<const Bytef*>(bytes), size));
}
