#include <openssl/evp.h>

#include <stdexcept>

#include "tools/signature/Digest.h"

struct TDigest::TState {
    EVP_MD_CTX* context = nullptr;
    ~TState() { EVP_MD_CTX_free(context); }
};

namespace {

const EVP_MD* Algorithm(DigestKind kind) {
    switch (kind) {
        case DigestKind::Sha1: return EVP_sha1();
        case DigestKind::Sha256: return EVP_sha256();
        case DigestKind::Sha384: return EVP_sha384();
        case DigestKind::Sha512: return EVP_sha512();
    }
    return EVP_sha256();
}

}  // namespace

TDigest::TDigest(DigestKind kind) : state_(std::make_unique<TState>()) {
    state_->context = EVP_MD_CTX_new();
    if (!state_->context || EVP_DigestInit_ex(state_->context, Algorithm(kind), nullptr) != 1)
        throw std::runtime_error("libcrypto cannot compute " + DigestName(kind));
}

TDigest::~TDigest() = default;

void TDigest::Update(const void* data, std::size_t size) { EVP_DigestUpdate(state_->context, data, size); }

std::vector<std::uint8_t> TDigest::Final() {
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    EVP_DigestFinal_ex(state_->context, out.data(), &size);
    out.resize(size);
    return out;
}
