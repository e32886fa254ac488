// Sha256: CryptoAPI SHA-256 (PROV_RSA_AES, verify context). Throws std::runtime_error
// "hash provider", "hash init", "hash data" or "hash result".
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <string>

namespace hm {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const void* data, std::size_t size);
    void Add(const std::string& bytes) { Add(bytes.data(), bytes.size()); }
    // The digest as 64 lowercase hex characters; the object is spent afterwards.
    std::string FinishHex();

private:
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
};

}  // namespace hm
