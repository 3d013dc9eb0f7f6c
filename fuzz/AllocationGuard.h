// The largest single allocation the fuzzed thread makes while one input is
// read: a harness traps when it outgrows what the input can justify, so a
// count or length field that would reserve gigabytes is a finding even when
// the machine could afford it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sanitizer/allocator_interface.h>

#include "package/CompressedForm.h"
#include "system/Decompressor.h"

namespace AllocationGuard {

namespace Detail {
// libFuzzer's own threads allocate too, and are not counted.
inline thread_local bool tCounting = false;
inline thread_local std::size_t tLargest = 0;
inline void Note(const volatile void*, std::size_t size) {
    if (tCounting && size > Detail::tLargest) Detail::tLargest = size;
}
inline void Forget(const volatile void*) {}
inline const int gInstalled = __sanitizer_install_malloc_and_free_hooks(Note, Forget);
}  // namespace Detail

// What a compressed package may allocate beyond its size: the decoder's
// window and buffers, and the tables its frame can decode to (no more than
// the frame's bytes can hold, and never more than the setup program holds).
// Nothing for any other input.
inline std::size_t CompressedFormAllowance(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t trailer = sizeof(RecordHead::TPackHeader);
    if (size < trailer || std::memcmp(data + size - trailer, "qzc", 4) != 0) return 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>(CompressedForm::MaxFrameRatio * size,
                                                            CompressedForm::MaxTablesSize)) +
           (std::size_t(1) << Decompressor::kWindowLogMax) + (1u << 20);
}

// Counts allocations from construction to destruction and traps when the
// largest exceeds `limit` bytes.
class TScope {
public:
    explicit TScope(std::size_t limit) : limit_(limit) {
        if (!Detail::gInstalled) __builtin_trap();
        Detail::tLargest = 0;
        Detail::tCounting = true;
    }
    ~TScope() {
        Detail::tCounting = false;
        if (Detail::tLargest > limit_) {
            std::fprintf(stderr, "allocation of %zu bytes, more than the %zu this input allows\n", Detail::tLargest,
                         limit_);
            __builtin_trap();
        }
    }
    TScope(const TScope&) = delete;
    TScope& operator=(const TScope&) = delete;

private:
    std::size_t limit_;
};

}  // namespace AllocationGuard
