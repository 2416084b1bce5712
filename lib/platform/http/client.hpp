#pragma once

#include "platform/http/http_error.hpp"
#include "platform/http/request.hpp"
#include "platform/http/response.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ssl/context.hpp>

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

namespace platform::http {

namespace detail {
class ConnectionPool;
class Exchange;
}

/// A TLS client context that trusts the system's certificate authorities and speaks TLS 1.2 or
/// later. Made once per process and shared.
std::shared_ptr<boost::asio::ssl::context> systemTLSContext();

struct ClientOptions {
    /// Trust for https. Whatever it holds, every handshake sends the host as SNI (for names, not
    /// addresses) and checks the peer's certificate and its name against the URL's host.
    std::shared_ptr<boost::asio::ssl::context> tls = systemTLSContext();
    /// Most redirects followed for one request.
    int maxRedirects = 10;
    /// Most idle connections kept open for later requests, per origin.
    std::size_t maxIdleConnectionsPerOrigin = 6;
    /// How long an idle connection may wait for its next request. Older ones are never reused;
    /// they close at the client's next request or at its end.
    std::chrono::steady_clock::duration idleConnectionLifetime = std::chrono::seconds(30);
};

/// An asynchronous HTTP/1.1 client for http and https URLs. The response head is handed out
/// before the body, which then streams in chunks.
///
/// Connections persist: one whose response was read to its end, where neither the request nor the
/// response said "Connection: close" (and the response was not HTTP/1.0 or ended by the close),
/// waits idle for the client's next request to the same origin. A connection carries one exchange
/// at a time, so concurrent requests and long event streams each hold their own. A body dropped or
/// cancelled before its end closes its connection. A request whose reused connection turns out
/// closed by the server before any byte of the answer arrived is sent once more on a new one.
///
/// Confined to the runtime thread of its executor: call it from coroutines running there.
/// Failures to get a reply throw HttpError; a reply with any status is a Response. A task that is
/// cancelled while it waits on the client gets CancellationError and its connection is closed.
///
/// @par Example
/// @code
/// platform::http::Client client(executor);
/// platform::http::Request request{.url = boost::urls::url("https://example.org/events")};
/// request.headers.set("Accept", "text/event-stream");
/// auto response = co_await client.send(std::move(request));
/// if (response.status != 200) co_return;
/// while (auto chunk = co_await response.body.next()) consume(*chunk);
///
/// auto reply = co_await client.fetch(std::move(tokenRequest));  // head and body at once
/// @endcode
///
/// For a caller that runs no event loop, fetchBlocking (fetch_blocking.hpp) does the same on a
/// private io_context of its own.
class Client {
public:
    explicit Client(boost::asio::any_io_executor executor, ClientOptions options = {});
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    /// Sends `request` and returns once the response head has arrived, following redirects as the
    /// request allows (never for a method other than GET or HEAD, never with "Authorization" to
    /// another origin). The body is read through the returned response.
    boost::asio::awaitable<Response> send(Request request);

    /// `send`, then reads the whole body. Throws HttpError responseTooLarge past `maxBodyBytes`.
    boost::asio::awaitable<BufferedResponse> fetch(Request request, std::size_t maxBodyBytes = 64 * 1024 * 1024);

    /// Cancels every request and response body of this client that is still in flight and closes
    /// the idle connections; later requests fail with HttpError cancelled.
    void invalidateAndCancel();

    const boost::asio::any_io_executor& executor() const noexcept { return executor_; }

private:
    boost::asio::awaitable<Response> sendOnce(const Request& request);

    boost::asio::any_io_executor executor_;
    ClientOptions options_;
    std::shared_ptr<detail::ConnectionPool> pool_;
    std::vector<std::weak_ptr<detail::Exchange>> exchanges_;
    bool invalidated_ = false;
};

}  // namespace platform::http
