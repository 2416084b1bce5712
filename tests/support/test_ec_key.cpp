#include "support/test_ec_key.hpp"

#include "platform/base64.hpp"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <stdexcept>

namespace testing_support {

TestECKey TestECKey::make(const char* curve) {
    EVP_PKEY* raw = EVP_EC_gen(curve);
    if (!raw) throw std::runtime_error("EVP_EC_gen failed");
    std::shared_ptr<EVP_PKEY> key(raw, EVP_PKEY_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return {std::string(data, static_cast<std::size_t>(length)), key};
}

bool TestECKey::verifiesES256(const std::string& input, const std::string& signature) const {
    if (signature.size() != 64) return false;
    std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> sig(ECDSA_SIG_new(), ECDSA_SIG_free);
    const auto* bytes = reinterpret_cast<const unsigned char*>(signature.data());
    ECDSA_SIG_set0(sig.get(), BN_bin2bn(bytes, 32, nullptr), BN_bin2bn(bytes + 32, 32, nullptr));
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(sig.get(), &der);
    if (derLength <= 0) return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get());
    const int result = EVP_DigestVerify(context.get(), der, static_cast<std::size_t>(derLength),
                                        reinterpret_cast<const unsigned char*>(input.data()), input.size());
    OPENSSL_free(der);
    return result == 1;
}

bool TestECKey::verifiesJWT(const std::string& jwt) const {
    const auto lastDot = jwt.rfind('.');
    if (lastDot == std::string::npos) return false;
    const auto signature = platform::base64UrlDecode(jwt.substr(lastDot + 1));
    return signature && verifiesES256(jwt.substr(0, lastDot), *signature);
}

}  // namespace testing_support
