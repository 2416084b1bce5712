#pragma once

#include "platform/http/headers.hpp"

#include <boost/url/url.hpp>

#include <chrono>
#include <optional>
#include <string>

namespace platform::http {

/// One HTTP/1.1 request.
struct Request {
    std::string method = "GET";
    /// An absolute http or https URL.
    boost::urls::url url;
    /// Sent in this order. "Host" is added when absent, "Content-Length" when there is a body or
    /// the method is POST, PUT or PATCH.
    Headers headers;
    std::string body;
    /// Most time without progress: to connect and receive the head, then between body chunks.
    std::chrono::steady_clock::duration timeout = std::chrono::seconds(60);
    /// When set, the latest time for every step of the exchange, the body included.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    /// Follow a 301, 302, 303, 307 or 308 reply. Only GET and HEAD requests are ever redirected;
    /// "Authorization" is dropped when a redirect leaves the request's origin.
    bool followRedirects = true;
};

}  // namespace platform::http
