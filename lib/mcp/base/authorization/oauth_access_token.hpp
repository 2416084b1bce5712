#pragma once

#include <boost/json/value.hpp>
#include <boost/url/url.hpp>

#include <chrono>
#include <optional>
#include <set>
#include <string>

namespace mcp {

/// How long before its expiry a token already counts as expired.
struct OAuthTokenExpirySkew {
    static constexpr double defaultSeconds = 30.0;
};

/// A token obtained by the OAuth client, as it is stored.
struct OAuthAccessToken {
    /// Sent after "Bearer ".
    std::string value;
    std::string tokenType;
    /// Absent when no expiry is known.
    std::optional<std::chrono::system_clock::time_point> expiresAt;
    std::set<std::string> scopes;
    std::optional<boost::urls::url> authorizationServer;
    std::optional<std::string> refreshToken;
    std::optional<std::string> clientID;

    /// True when `now` plus `skewSeconds` is at or after the expiry; never without one.
    bool isExpired(std::chrono::system_clock::time_point now, double skewSeconds) const;

    /// {"value", "tokenType", "expiresAt" (seconds since 2001-01-01), "scopes",
    /// "authorizationServer", "refreshToken", "clientID"}; the optional ones only when present.
    boost::json::value toJSON() const;
    /// Requires "value", "tokenType" and "scopes"; throws DecodingError otherwise.
    static OAuthAccessToken fromJSON(const boost::json::value& json);

    /// URLs compare by their text.
    friend bool operator==(const OAuthAccessToken& a, const OAuthAccessToken& b);
};

/// Where the OAuth authorizer keeps its token: memory, a keychain, a file.
class TokenStorage {
public:
    virtual ~TokenStorage() = default;
    /// Replaces the stored token.
    virtual void save(const OAuthAccessToken& token) = 0;
    virtual std::optional<OAuthAccessToken> load() = 0;
    virtual void clear() = 0;
};

/// A token storage in memory. No lock: one user at a time.
class InMemoryTokenStorage final : public TokenStorage {
public:
    void save(const OAuthAccessToken& token) override { token_ = token; }
    std::optional<OAuthAccessToken> load() override { return token_; }
    void clear() override { token_.reset(); }

private:
    std::optional<OAuthAccessToken> token_;
};

namespace detail {

/// `now` plus `seconds`, the sum held within what a time point can carry.
std::chrono::system_clock::time_point addClampedSeconds(std::chrono::system_clock::time_point now, double seconds);

}  // namespace detail

}  // namespace mcp
