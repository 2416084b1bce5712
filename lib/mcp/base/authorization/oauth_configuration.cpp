#include "mcp/base/authorization/oauth_configuration.hpp"

#include "platform/base64.hpp"
#include "platform/json/write.hpp"
#include "platform/text.hpp"
#include "platform/uuid.hpp"

#include <boost/json/object.hpp>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace mcp {

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

Authentication Authentication::clientSecretBasic(std::string clientID, std::string clientSecret) {
    Authentication authentication(Method::clientSecretBasic, std::move(clientID));
    authentication.clientSecret_ = std::move(clientSecret);
    return authentication;
}

Authentication Authentication::clientSecretPost(std::string clientID, std::string clientSecret) {
    Authentication authentication(Method::clientSecretPost, std::move(clientID));
    authentication.clientSecret_ = std::move(clientSecret);
    return authentication;
}

Authentication Authentication::none(std::string clientID) { return Authentication(Method::none, std::move(clientID)); }

Authentication Authentication::privateKeyJWT(std::string clientID, AssertionFactory assertionFactory) {
    Authentication authentication(Method::privateKeyJWT, std::move(clientID));
    authentication.assertionFactory_ = std::move(assertionFactory);
    return authentication;
}

boost::asio::awaitable<void> Authentication::apply(platform::http::Request& request,
                                                   std::map<std::string, std::string>& bodyParameters,
                                                   boost::urls::url tokenEndpoint) const {
    switch (method_) {
    case Method::clientSecretBasic:
        request.headers.set("Authorization", "Basic " + platform::base64Encode(clientID_ + ":" + clientSecret_));
        break;
    case Method::clientSecretPost:
        bodyParameters["client_id"] = clientID_;
        bodyParameters["client_secret"] = clientSecret_;
        break;
    case Method::none:
        bodyParameters["client_id"] = clientID_;
        break;
    case Method::privateKeyJWT: {
        bodyParameters["client_id"] = clientID_;
        bodyParameters["client_assertion_type"] = "urn:ietf:params:oauth:client-assertion-type:jwt-bearer";
        if (!assertionFactory_) throw std::logic_error("private_key_jwt authentication without an assertion factory");
        auto assertion = co_await assertionFactory_(clientID_, std::move(tokenEndpoint));
        bodyParameters["client_assertion"] = std::move(assertion);
        break;
    }
    }
}

OAuthConfiguration::RetryPolicy::RetryPolicy(int maxAuthorizationAttempts, int maxScopeUpgradeAttempts)
    : maxAuthorizationAttempts(maxAuthorizationAttempts < 1 ? 1 : maxAuthorizationAttempts),
      maxScopeUpgradeAttempts(maxScopeUpgradeAttempts < 1 ? 1 : maxScopeUpgradeAttempts) {}

const OAuthConfiguration::RetryPolicy& OAuthConfiguration::RetryPolicy::default_() {
    static const RetryPolicy policy(3, 2);
    return policy;
}

const OAuthConfiguration::EndpointOverrides& OAuthConfiguration::EndpointOverrides::none() {
    static const EndpointOverrides overrides;
    return overrides;
}

std::string OAuthConfiguration::text(PrivateKeyJWTSigningAlgorithm) { return "ES256"; }

std::optional<OAuthConfiguration::PrivateKeyJWTSigningAlgorithm> OAuthConfiguration::signingAlgorithm(std::string_view text) {
    if (text == "ES256") return PrivateKeyJWTSigningAlgorithm::ES256;
    return std::nullopt;
}

OAuthConfiguration::PrivateKeyJWTAssertionError::PrivateKeyJWTAssertionError(Kind kind, double lifetime)
    : kind_(kind), lifetime_(lifetime) {
    description_ = kind == Kind::invalidLifetime
                       ? "private_key_jwt assertion lifetime must be greater than zero seconds, got " +
                             platform::describeDouble(lifetime)
                       : "private_key_jwt assertion signing requires CryptoKit support";
}

OAuthConfiguration::PrivateKeyJWTAssertionError OAuthConfiguration::PrivateKeyJWTAssertionError::invalidLifetime(double lifetime) {
    return PrivateKeyJWTAssertionError(Kind::invalidLifetime, lifetime);
}

OAuthConfiguration::PrivateKeyJWTAssertionError OAuthConfiguration::PrivateKeyJWTAssertionError::cryptographyUnavailable() {
    return PrivateKeyJWTAssertionError(Kind::cryptographyUnavailable, 0);
}

OAuthConfiguration::OAuthConfiguration(GrantType grantType, TokenEndpointAuthentication authentication,
                                       RetryPolicy retryPolicy, EndpointOverrides endpointOverrides,
                                       std::optional<boost::urls::url> authorizationRedirectURI, std::string clientName,
                                       std::map<std::string, std::string> additionalTokenRequestParameters,
                                       AccessTokenProvider accessTokenProvider,
                                       std::shared_ptr<OAuthAuthorizationDelegate> authorizationDelegate,
                                       double proactiveRefreshWindowSeconds)
    : grantType(grantType),
      authentication(std::move(authentication)),
      retryPolicy(retryPolicy),
      endpointOverrides(std::move(endpointOverrides)),
      authorizationRedirectURI(authorizationRedirectURI ? std::move(*authorizationRedirectURI)
                                                        : defaultAuthorizationRedirectURI()),
      additionalTokenRequestParameters(std::move(additionalTokenRequestParameters)),
      clientName(std::move(clientName)),
      accessTokenProvider(std::move(accessTokenProvider)),
      authorizationDelegate(std::move(authorizationDelegate)),
      proactiveRefreshWindowSeconds(proactiveRefreshWindowSeconds) {}

boost::urls::url OAuthConfiguration::defaultAuthorizationRedirectURI() {
    unsigned char bytes[2];
    if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("The system's random source failed");
    // 14 random bits: exactly uniform over the 16384 ports of the dynamic range.
    const int offset = ((bytes[0] << 8) | bytes[1]) & 0x3FFF;
    return boost::urls::url("http://127.0.0.1:" + std::to_string(49152 + offset) + "/callback");
}

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct SigFree {
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};

[[noreturn]] void cryptoFailure(const char* what) { throw std::runtime_error(what); }

/// r then s, 32 bytes each, big-endian: the JWS form of an ES256 signature.
std::string signES256(const std::string& privateKeyPEM, const std::string& input) {
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(privateKeyPEM.data(), static_cast<int>(privateKeyPEM.size())));
    if (!bio) cryptoFailure("Could not read the private key");
    std::unique_ptr<EVP_PKEY, PkeyFree> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key) cryptoFailure("Could not read the private key: no PEM private key");
    char group[64] = {};
    std::size_t groupLength = 0;
    if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC ||
        EVP_PKEY_get_group_name(key.get(), group, sizeof group, &groupLength) != 1 ||
        std::string_view(group, groupLength) != "prime256v1") {
        cryptoFailure("Could not read the private key: not a P-256 key");
    }
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        cryptoFailure("Signing failed");
    std::size_t derLength = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(input.data());
    if (EVP_DigestSign(context.get(), nullptr, &derLength, data, input.size()) != 1) cryptoFailure("Signing failed");
    std::string der(derLength, '\0');
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(der.data()), &derLength, data, input.size()) != 1)
        cryptoFailure("Signing failed");
    const auto* derBytes = reinterpret_cast<const unsigned char*>(der.data());
    std::unique_ptr<ECDSA_SIG, SigFree> signature(d2i_ECDSA_SIG(nullptr, &derBytes, static_cast<long>(derLength)));
    if (!signature) cryptoFailure("Signing failed");
    std::string raw(64, '\0');
    auto* out = reinterpret_cast<unsigned char*>(raw.data());
    if (BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), out, 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), out + 32, 32) != 32) {
        cryptoFailure("Signing failed");
    }
    return raw;
}

std::int64_t clampedSeconds(double seconds) {
    // The largest double below 2^63; beyond it the conversion would be undefined.
    constexpr double limit = 9223372036854774784.0;
    if (seconds >= limit) return std::numeric_limits<std::int64_t>::max();
    if (seconds <= -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(seconds);
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return sum;
}

}  // namespace

std::string OAuthConfiguration::makePrivateKeyJWTAssertion(const std::string& clientID, boost::urls::url_view tokenEndpoint,
                                                           const std::string& privateKeyPEM, PrivateKeyJWTSigningAlgorithm,
                                                           const std::optional<std::string>& audience,
                                                           std::chrono::system_clock::time_point issuedAt, double expiresIn) {
    if (!(expiresIn > 0)) throw PrivateKeyJWTAssertionError::invalidLifetime(expiresIn);

    boost::json::object header;
    header["alg"] = "ES256";
    header["typ"] = "JWT";

    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::seconds>(issuedAt.time_since_epoch()).count();
    const std::int64_t iat = sinceEpoch;
    std::int64_t lifetime = clampedSeconds(std::floor(expiresIn));
    if (lifetime < 1) lifetime = 1;
    const std::int64_t exp = saturatingAdd(iat, lifetime);

    boost::json::object claims;
    claims["iss"] = clientID;
    claims["sub"] = clientID;
    claims["aud"] = audience ? *audience : std::string(tokenEndpoint.buffer());
    claims["iat"] = iat;
    claims["exp"] = exp;
    claims["jti"] = platform::makeUUIDString();

    platform::json::WriteOptions compact;
    compact.escapeSlashes = true;
    const std::string signingInput = platform::base64UrlEncode(platform::json::write(header, compact)) + "." +
                                     platform::base64UrlEncode(platform::json::write(claims, compact));
    return signingInput + "." + platform::base64UrlEncode(signES256(privateKeyPEM, signingInput));
}

}  // namespace mcp
