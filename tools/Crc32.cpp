#include "tools/Crc32.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CRC32_HAS_CLMUL 1
#endif

namespace {

// Slicing by sixteen: table k holds the CRC of a byte followed by k zero bytes.
using Tables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr Tables MakeTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();

std::uint32_t Word(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The four table lookups for one little-endian word that lies `k` words
// before the end of a sixteen-byte block.
std::uint32_t Fold(std::uint32_t w, std::size_t k) {
    const std::size_t t = 4 * k + 3;
    return kTables[t][w & 0xFF] ^ kTables[t - 1][(w >> 8) & 0xFF] ^ kTables[t - 2][(w >> 16) & 0xFF] ^
           kTables[t - 3][w >> 24];
}

#ifdef CRC32_HAS_CLMUL

// Folding with carry-less multiplication (Gopal et al., "Fast CRC Computation
// for Generic Polynomials Using PCLMULQDQ"): four 128-bit lanes are folded
// forward 64 bytes at a time, then into one lane, then reduced to 32 bits
// (Barrett). Takes and returns the running state; `size` is a multiple of 16,
// at least 64.
#define CRC32_CLMUL __attribute__((target("pclmul,sse4.1")))

CRC32_CLMUL inline __m128i load(const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// One lane moved forward by the distance its constants stand for, plus the
// next data.
CRC32_CLMUL inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

CRC32_CLMUL std::uint32_t FoldClmul(std::uint32_t state, const std::uint8_t* p, std::size_t size) {
    const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
    const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
    const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124LL);
    const __m128i poly = _mm_set_epi64x(0x1f7011641LL, 0x1db710641LL);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
    p += 64;
    size -= 64;
    for (; size >= 64; p += 64, size -= 64) {
        x1 = fold(x1, k1k2, load(p));
        x2 = fold(x2, k1k2, load(p + 16));
        x3 = fold(x3, k1k2, load(p + 32));
        x4 = fold(x4, k1k2, load(p + 48));
    }
    x1 = fold(fold(fold(x1, k3k4, x2), k3k4, x3), k3k4, x4);
    for (; size >= 16; p += 16, size -= 16) x1 = fold(x1, k3k4, load(p));

    // 128 bits to 64, then to 32, then the Barrett reduction.
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}

bool HasClmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}

#endif

}  // namespace

void TCrc32::Update(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::uint32_t c = state_;
#ifdef CRC32_HAS_CLMUL
    if (size >= 64 && HasClmul()) {
        const std::size_t blocks = size & ~std::size_t(15);
        c = FoldClmul(c, p, blocks);
        p += blocks;
        size -= blocks;
    }
#endif
    while (size >= 16) {
        c = Fold(Word(p) ^ c, 3) ^ Fold(Word(p + 4), 2) ^ Fold(Word(p + 8), 1) ^ Fold(Word(p + 12), 0);
        p += 16;
        size -= 16;
    }
    while (size-- > 0) c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    state_ = c;
}

std::uint32_t Crc32ByTable(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::uint32_t c = 0xFFFFFFFFu;
    while (size-- > 0) c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return ~c;
}
