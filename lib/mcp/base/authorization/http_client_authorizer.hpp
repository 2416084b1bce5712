#pragma once

#include "platform/http/client.hpp"
#include "platform/http/headers.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url_view.hpp>

#include <exception>
#include <optional>
#include <string>

namespace mcp {

/// What the HTTP client transport asks of whoever provides its credentials. The transport knows
/// nothing of how they are obtained: an OAuth flow, a fixed API key, a keychain, a test double.
///
/// Calls come from the transport's runtime thread. The synchronous ones must not wait; the
/// asynchronous ones may do network work through the client they are handed.
class HTTPClientAuthorizer {
public:
    virtual ~HTTPClientAuthorizer() = default;

    /// How many times one request may be sent in all, the first sending included, while each
    /// refusal is answered by a successful challenge.
    virtual int maxAuthorizationAttempts() const = 0;

    /// Throws when credentials must not be sent to `endpoint`.
    virtual void validateEndpointSecurity(boost::urls::url_view endpoint) const = 0;

    /// The whole value of the "Authorization" header for a request to `endpoint`, or none for a
    /// request without one. Does no network work.
    virtual std::optional<std::string> authorizationHeader(boost::urls::url_view endpoint) = 0;

    /// Called after a 401 or 403 reply. True when new credentials are in place and the request
    /// should be sent again; false when this challenge can't be answered. Throws when the
    /// authorization flow itself fails.
    virtual boost::asio::awaitable<bool> handleChallenge(int statusCode, platform::http::Headers headers,
                                                         boost::urls::url endpoint,
                                                         std::optional<std::string> operationKey,
                                                         platform::http::Client& session) = 0;

    /// Called after each successful endpoint check, before the first header of that message or
    /// stream attempt, so credentials can be renewed ahead of time. The transport ignores a
    /// failure. Does nothing unless overridden.
    virtual boost::asio::awaitable<void> prepareAuthorization(boost::urls::url endpoint,
                                                              platform::http::Client& session) {
        (void)endpoint;
        (void)session;
        co_return;
    }
};

/// A 401 or 403 reply, carried from where the reply is read to where the authorizer is asked.
class HTTPAuthenticationChallengeError : public std::exception {
public:
    HTTPAuthenticationChallengeError(int statusCode, platform::http::Headers headers)
        : statusCode_(statusCode), headers_(std::move(headers)) {}

    int statusCode() const noexcept { return statusCode_; }
    const platform::http::Headers& headers() const noexcept { return headers_; }

    const char* what() const noexcept override { return "HTTP authentication challenge"; }

private:
    int statusCode_;
    platform::http::Headers headers_;
};

}  // namespace mcp
