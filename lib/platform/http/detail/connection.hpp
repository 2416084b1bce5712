#pragma once

#include "platform/http/http_error.hpp"
#include "platform/http/request.hpp"
#include "platform/http/response.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <memory>
#include <optional>

namespace platform::http::detail {

/// One request's connection: plain TCP or TLS over it, the response parser, the time limits.
/// Confined to the executor it was made on.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(boost::asio::any_io_executor executor, std::shared_ptr<boost::asio::ssl::context> tls);

    /// Connects, writes `request` and reads the response head.
    boost::asio::awaitable<Response> open(const Request& request);

    /// The next body chunk; see ResponseBody::next.
    boost::asio::awaitable<std::optional<std::string>> nextChunk();

    /// Closes the socket, failing what waits on it with HttpError cancelled.
    void cancel();

    bool isFinished() const noexcept { return finished_; }

private:
    using TLSStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;

    boost::beast::tcp_stream& lowest();
    void armTimer();
    void close();
    enum class Step { resolve, connect, handshake, exchange };
    [[noreturn]] void fail(boost::system::error_code error, Step step);
    HttpError errorFor(boost::system::error_code error, Step step) const;
    boost::asio::awaitable<void> connect(const Request& request);

    template <class Operation>
    boost::asio::awaitable<std::size_t> onStream(Operation operation);

    boost::asio::any_io_executor executor_;
    std::shared_ptr<boost::asio::ssl::context> tls_;
    boost::asio::ip::tcp::resolver resolver_;
    std::optional<boost::beast::tcp_stream> plain_;
    std::optional<TLSStream> secure_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::response_parser<boost::beast::http::buffer_body>> parser_;
    std::string host_;
    std::chrono::steady_clock::duration timeout_{};
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool cancelled_ = false;
    bool finished_ = false;
    std::exception_ptr failure_;
};

}  // namespace platform::http::detail
