#include <algorithm>
#include <array>

#include "tools/signature/Digest.h"

namespace {

struct TKnownDigest {
    DigestKind Kind;
    const char* Name;
    std::array<std::uint8_t, 9> Oid;
    std::size_t OidSize;
};

// 1.3.14.3.2.26 and 2.16.840.1.101.3.4.2.{1,2,3}.
constexpr TKnownDigest kKnown[] = {
    {DigestKind::Sha1, "SHA-1", {0x2B, 0x0E, 0x03, 0x02, 0x1A}, 5},
    {DigestKind::Sha256, "SHA-256", {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 9},
    {DigestKind::Sha384, "SHA-384", {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 9},
    {DigestKind::Sha512, "SHA-512", {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 9},
};

}  // namespace

std::optional<DigestKind> DigestByOid(std::span<const std::uint8_t> oid) {
    for (const TKnownDigest& d : kKnown)
        if (oid.size() == d.OidSize && std::equal(oid.begin(), oid.end(), d.Oid.begin())) return d.Kind;
    return std::nullopt;
}

std::string DigestName(DigestKind kind) {
    for (const TKnownDigest& d : kKnown)
        if (d.Kind == kind) return d.Name;
    return "?";
}

std::vector<std::uint8_t> DigestOf(DigestKind kind, ByteSource& source) {
    TDigest digest(kind);
    std::vector<std::uint8_t> buffer(1u << 20);
    ReadToEnd(source, buffer, [&](const std::uint8_t* bytes, std::size_t count) { digest.Update(bytes, count); });
    return digest.Final();
}
