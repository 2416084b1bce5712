#pragma once

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace platform::http::detail {

/// One connection to an origin: plain TCP or TLS over it, and the bytes read from it that no
/// message has used yet. Carries one exchange at a time and may carry several in turn, resting in
/// its client's pool between them. Confined to the executor it was made on.
class Connection {
public:
    using TLSStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;

    /// A connection not yet opened, for the origin `key` (see ConnectionPool::keyOf).
    Connection(boost::asio::any_io_executor executor, std::string key, bool secure,
               boost::asio::ssl::context& tls);

    const std::string& key() const noexcept { return key_; }
    bool isSecure() const noexcept { return secure_.has_value(); }
    TLSStream& secure() { return *secure_; }
    boost::beast::tcp_stream& plain() { return *plain_; }
    /// The TCP stream under TLS, or the plain one: its time limit applies to every operation.
    boost::beast::tcp_stream& lowest();
    boost::beast::flat_buffer& buffer() noexcept { return buffer_; }

    /// Closes the socket; what waits on it completes with an error.
    void close();

    /// True when the socket is open and has nothing to read. An idle connection that has
    /// something to read was closed by the peer (end of stream, TLS close alert) or received bytes
    /// nobody asked for: either way it cannot carry another request.
    bool isQuiet();

    /// Since when the connection has been idle in a pool.
    std::chrono::steady_clock::time_point idleSince;

private:
    std::string key_;
    std::optional<boost::beast::tcp_stream> plain_;
    std::optional<TLSStream> secure_;
    boost::beast::flat_buffer buffer_;
    bool closed_ = false;
};

}  // namespace platform::http::detail
