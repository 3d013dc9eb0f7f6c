// The hashes an Authenticode signature names for its file digest: libcrypto
// natively, the system's own CNG provider (bcrypt.dll) in makesetup.exe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "system/ByteStream.h"

enum class DigestKind { Sha1, Sha256, Sha384, Sha512 };

// The hash an algorithm identifier's object identifier names (its content
// bytes); nothing for one this tool does not compute.
std::optional<DigestKind> DigestByOid(std::span<const std::uint8_t> oid);
std::string DigestName(DigestKind kind);  // "SHA-256"

class TDigest {
public:
    explicit TDigest(DigestKind kind);
    ~TDigest();
    TDigest(const TDigest&) = delete;
    TDigest& operator=(const TDigest&) = delete;

    void Update(const void* data, std::size_t size);
    std::vector<std::uint8_t> Final();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

// The digest of what `source` holds from its current position to its end.
std::vector<std::uint8_t> DigestOf(DigestKind kind, ByteSource& source);
