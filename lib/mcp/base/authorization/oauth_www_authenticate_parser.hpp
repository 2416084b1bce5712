#pragma once

#include "platform/http/headers.hpp"

#include <boost/url/url.hpp>

#include <map>
#include <optional>
#include <string>

namespace mcp {

/// The parameters of a server's Bearer challenge, keys lower-cased, values unquoted.
struct OAuthBearerChallenge {
    std::map<std::string, std::string> parameters;

    std::optional<std::string> scope() const;
    std::optional<std::string> error() const;
    std::optional<std::string> errorDescription() const;
    /// "resource_metadata" read as a URL; absent also when it is no URL.
    std::optional<boost::urls::url> resourceMetadataURL() const;
};

class OAuthWWWAuthenticateParsing {
public:
    virtual ~OAuthWWWAuthenticateParsing() = default;
    /// The Bearer challenge of the reply's "WWW-Authenticate" header (name matched without regard
    /// to case), or none when there is no usable one.
    virtual std::optional<OAuthBearerChallenge> parseBearer(const platform::http::Headers& headers) const = 0;
};

/// Finds the Bearer challenge among the challenges of a header value and reads its parameters.
/// Never fails: malformed pieces are skipped one by one.
class DefaultOAuthWWWAuthenticateParser final : public OAuthWWWAuthenticateParsing {
public:
    /// A quoted value loses its quotes and every backslash escape: "\x" gives "x", so a value
    /// written with escaped backslashes reads back as it was meant.
    std::optional<OAuthBearerChallenge> parseBearer(const platform::http::Headers& headers) const override;
    std::optional<OAuthBearerChallenge> parseBearerHeader(std::string_view value) const;
};

}  // namespace mcp
