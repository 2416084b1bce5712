#include "mcp/base/authorization/oauth_access_token.hpp"

#include "mcp/base/authorization/detail/url_text.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include <cmath>

namespace mcp {

namespace {

using Clock = std::chrono::system_clock;

/// Seconds from 1970-01-01 to 2001-01-01, the reference date of the stored form.
constexpr double kReferenceDateOffset = 978307200.0;

double secondsSince1970(Clock::time_point point) {
    return std::chrono::duration<double>(point.time_since_epoch()).count();
}

}  // namespace

namespace detail {

std::chrono::system_clock::time_point addClampedSeconds(Clock::time_point now, double seconds) {
    if (std::isnan(seconds)) return now;
    // A nanosecond clock reaches about 292 years either side of 1970; stay inside.
    using Seconds = std::chrono::duration<double>;
    constexpr double kLimit = 250.0 * 365 * 24 * 3600;
    const auto latest = Clock::time_point(std::chrono::duration_cast<Clock::duration>(Seconds(kLimit)));
    const auto earliest = Clock::time_point(std::chrono::duration_cast<Clock::duration>(Seconds(-kLimit)));
    const double target = secondsSince1970(now) + seconds;
    if (target >= kLimit) return latest;
    if (target <= -kLimit) return earliest;
    return now + std::chrono::duration_cast<Clock::duration>(Seconds(seconds));
}

}  // namespace detail

bool OAuthAccessToken::isExpired(Clock::time_point now, double skewSeconds) const {
    if (!expiresAt) return false;
    return detail::addClampedSeconds(now, skewSeconds) >= *expiresAt;
}

boost::json::value OAuthAccessToken::toJSON() const {
    boost::json::object object;
    object["value"] = value;
    object["tokenType"] = tokenType;
    if (expiresAt) object["expiresAt"] = secondsSince1970(*expiresAt) - kReferenceDateOffset;
    boost::json::array scopeList;
    for (const auto& scope : scopes) scopeList.emplace_back(scope);
    object["scopes"] = std::move(scopeList);
    if (authorizationServer) object["authorizationServer"] = authorizationServer->buffer();
    if (refreshToken) object["refreshToken"] = *refreshToken;
    if (clientID) object["clientID"] = *clientID;
    return object;
}

OAuthAccessToken OAuthAccessToken::fromJSON(const boost::json::value& json) {
    namespace pj = platform::json;
    const auto& object = pj::asObject(json);
    OAuthAccessToken token;
    token.value = pj::required<std::string>(object, "value");
    token.tokenType = pj::required<std::string>(object, "tokenType");
    if (auto seconds = pj::optional<double>(object, "expiresAt")) {
        token.expiresAt = detail::addClampedSeconds(Clock::time_point{}, *seconds + kReferenceDateOffset);
    }
    for (auto& scope : pj::required<std::vector<std::string>>(object, "scopes")) token.scopes.insert(std::move(scope));
    if (auto server = pj::optional<std::string>(object, "authorizationServer")) {
        auto url = detail::urlFromText(*server);
        if (!url) throw pj::DecodingError(pj::DecodingError::Kind::dataCorrupted, "Invalid URL string.", {"authorizationServer"});
        token.authorizationServer = std::move(*url);
    }
    token.refreshToken = pj::optional<std::string>(object, "refreshToken");
    token.clientID = pj::optional<std::string>(object, "clientID");
    return token;
}

bool operator==(const OAuthAccessToken& a, const OAuthAccessToken& b) {
    const auto serverText = [](const OAuthAccessToken& t) -> std::optional<std::string> {
        if (!t.authorizationServer) return std::nullopt;
        return std::string(t.authorizationServer->buffer());
    };
    return a.value == b.value && a.tokenType == b.tokenType && a.expiresAt == b.expiresAt && a.scopes == b.scopes &&
           serverText(a) == serverText(b) && a.refreshToken == b.refreshToken && a.clientID == b.clientID;
}

}  // namespace mcp
