#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

#include "tools/signature/Digest.h"

struct TDigest::TState {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~TState() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

namespace {

const wchar_t* AlgorithmId(DigestKind kind) {
    switch (kind) {
        case DigestKind::Sha1: return BCRYPT_SHA1_ALGORITHM;
        case DigestKind::Sha256: return BCRYPT_SHA256_ALGORITHM;
        case DigestKind::Sha384: return BCRYPT_SHA384_ALGORITHM;
        case DigestKind::Sha512: return BCRYPT_SHA512_ALGORITHM;
    }
    return BCRYPT_SHA256_ALGORITHM;
}

}  // namespace

TDigest::TDigest(DigestKind kind) : state_(std::make_unique<TState>()) {
    if (BCryptOpenAlgorithmProvider(&state_->algorithm, AlgorithmId(kind), nullptr, 0) < 0 ||
        BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0)
        throw std::runtime_error("the system cannot compute " + DigestName(kind));
}

TDigest::~TDigest() = default;

void TDigest::Update(const void* data, std::size_t size) {
    BCryptHashData(state_->hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0);
}

std::vector<std::uint8_t> TDigest::Final() {
    DWORD length = 0;
    ULONG got = 0;
    BCryptGetProperty(state_->algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length, &got, 0);
    std::vector<std::uint8_t> out(length);
    BCryptFinishHash(state_->hash, out.data(), length, 0);
    return out;
}
