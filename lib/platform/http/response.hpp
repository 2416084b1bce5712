#pragma once

#include "platform/http/headers.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace platform::http {

namespace detail {
class Exchange;
}

/// The body of a response, read as a stream of chunks as they arrive. Copies share one stream.
/// A body read to its end may leave its connection open for the client's later requests; one
/// dropped (its last copy) or cancelled before its end closes the connection. Used by one task at
/// a time.
class ResponseBody {
public:
    ResponseBody() = default;
    explicit ResponseBody(std::shared_ptr<detail::Exchange> exchange) : exchange_(std::move(exchange)) {}

    /// The next chunk of bytes (never empty), or nullopt once the body is complete. Throws
    /// HttpError (networkConnectionLost when the connection ends early, timedOut, cancelled) and
    /// CancellationError when the calling task is cancelled.
    boost::asio::awaitable<std::optional<std::string>> next();

    /// Reads the rest of the body. Throws HttpError responseTooLarge past `maxBytes`.
    boost::asio::awaitable<std::string> readAll(std::size_t maxBytes = 64 * 1024 * 1024);

    /// Stops the transfer and closes the connection: a waiting or later `next()` throws
    /// HttpError cancelled. Safe to call at any time, also when the body has ended.
    void cancel();

private:
    std::shared_ptr<detail::Exchange> exchange_;
};

/// A response whose head has arrived; its body follows through `body`.
struct Response {
    int status = 0;
    std::string reason;
    /// Names as the server wrote them; repeated fields joined with ", ".
    Headers headers;
    /// The URL that answered, after any redirects.
    boost::urls::url url;
    ResponseBody body;

    /// Stops the transfer of the body.
    void cancel() { body.cancel(); }
};

/// A response read whole.
struct BufferedResponse {
    int status = 0;
    std::string reason;
    Headers headers;
    boost::urls::url url;
    std::string body;
};

}  // namespace platform::http
