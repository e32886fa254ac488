#include "net/sha256_win.h"

#include <algorithm>
#include <stdexcept>

#include "net/hardware_id.h"

namespace hm {

Sha256::Sha256() {
    if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        provider_ = 0;
        throw std::runtime_error("hash provider");
    }
    if (!CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) {
        hash_ = 0;
        CryptReleaseContext(provider_, 0);
        throw std::runtime_error("hash init");
    }
}

Sha256::~Sha256() {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
}

void Sha256::Add(const void* data, std::size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    // CryptHashData takes a DWORD length; feed huge inputs in slices.
    while (size > 0) {
        const DWORD slice = DWORD(std::min<std::size_t>(size, 0x40000000u));
        if (!CryptHashData(hash_, p, slice, 0)) throw std::runtime_error("hash data");
        p += slice;
        size -= slice;
    }
}

std::string Sha256::FinishHex() {
    BYTE digest[64];
    DWORD length = sizeof digest;
    if (!CryptGetHashParam(hash_, HP_HASHVAL, digest, &length, 0) || length != 32)
        throw std::runtime_error("hash result");
    return LowerHex(digest, length);
}

}  // namespace hm
