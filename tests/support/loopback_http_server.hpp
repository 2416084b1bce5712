#pragma once

#include "platform/async/task.hpp"
#include "platform/http/headers.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

/// A self-signed certificate made at test time, with its private key, both in PEM.
struct TestCertificate {
    std::string certificatePem;
    std::string privateKeyPem;

    /// A certificate for the names given as subject alternative names ("DNS:localhost", "IP:127.0.0.1").
    static TestCertificate make(const std::vector<std::string>& subjectAltNames);

    /// A client context that trusts only this certificate.
    std::shared_ptr<boost::asio::ssl::context> clientContext() const;
};

/// One request as the loopback server received it.
struct RecordedRequest {
    std::string method;
    std::string target;
    platform::http::Headers headers;
    std::string body;
    /// The name the client asked for in its TLS handshake (SNI), if any.
    std::optional<std::string> serverName;
    /// Which connection carried it: 1 for the first the server accepted, and so on.
    std::size_t connection = 0;
};

/// A scriptable HTTP/1.1 server on 127.0.0.1 for client tests, plain or TLS. Each connection
/// carries one request, or with setKeepAlive one after another, which the test's handler answers
/// through an Exchange: a whole reply, or a head and then chunks as the test likes, a stall, an
/// abrupt close. Runs on the executor it is given, so a test drives it on its own runtime thread;
/// confined to that thread.
class LoopbackHttpServer {
public:
    class Exchange {
    public:
        virtual ~Exchange() = default;
        virtual const RecordedRequest& request() const = 0;
        /// Writes a whole reply with Content-Length and closes the connection (kept alive, it
        /// closes only when `headers` say "Connection: close").
        virtual boost::asio::awaitable<void> respond(int status, platform::http::Headers headers, std::string body) = 0;
        /// Writes a head with chunked transfer coding; the body follows through sendChunk.
        virtual boost::asio::awaitable<void> startStream(int status, platform::http::Headers headers) = 0;
        virtual boost::asio::awaitable<void> sendChunk(std::string bytes) = 0;
        /// Ends a chunked body properly and closes the connection (or not, as respond does).
        virtual boost::asio::awaitable<void> endStream() = 0;
        /// Writes bytes as they are, for replies no helper writes. Never closes the connection.
        virtual boost::asio::awaitable<void> writeRaw(std::string bytes) = 0;
        /// Drops the connection at once; a chunked body ends short.
        virtual void close() = 0;
    };

    using Handler = std::function<boost::asio::awaitable<void>(std::shared_ptr<Exchange>)>;

    /// Listens on an ephemeral port of 127.0.0.1; with `certificate`, speaks TLS.
    LoopbackHttpServer(boost::asio::any_io_executor executor, Handler handler,
                       std::optional<TestCertificate> certificate = std::nullopt);
    ~LoopbackHttpServer();

    std::uint16_t port() const;
    /// "http://127.0.0.1:<port>" followed by `path` (or https with a certificate).
    std::string url(const std::string& path = "/") const;
    /// The same with `host` in place of 127.0.0.1 ("localhost").
    std::string url(const std::string& host, const std::string& path) const;

    /// Every request received so far, in order.
    const std::vector<RecordedRequest>& requests() const;

    /// From now on, replies leave their connection open, without "Connection: close", and the
    /// server reads the next request from it once the handler returns.
    void setKeepAlive(bool keepAlive);
    /// Connections accepted so far.
    std::size_t connectionCount() const;
    /// Connections the client closed after one request or more, seen while waiting for the next.
    std::size_t closedIdleConnectionCount() const;

    /// Stops listening, cancels the handlers and drops every connection.
    void stop();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace testing_support
