#pragma once

#include <memory>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;

namespace testing_support {

/// An EC key pair made at test time.
struct TestECKey {
    std::string privateKeyPem;
    std::shared_ptr<EVP_PKEY> key;

    /// A fresh key on `curve` ("P-256", "P-384").
    static TestECKey make(const char* curve = "P-256");

    /// Whether `signature` (r then s, 32 bytes each) is an ES256 signature of `input` by this key.
    bool verifiesES256(const std::string& input, const std::string& signature) const;
    /// Whether the compact JWT's signature verifies with this key.
    bool verifiesJWT(const std::string& jwt) const;
};

}  // namespace testing_support
