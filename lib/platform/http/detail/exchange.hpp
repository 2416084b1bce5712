#pragma once

#include "platform/http/detail/connection.hpp"
#include "platform/http/detail/connection_pool.hpp"
#include "platform/http/http_error.hpp"
#include "platform/http/request.hpp"
#include "platform/http/response.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>

#include <memory>
#include <optional>

namespace platform::http::detail {

/// One request and its response on a connection, new or taken from the pool: the response
/// parser, the time limits, the outcome. Once the response has been read to its end and both
/// sides allow it, the connection goes back to the pool; in every other case it closes.
/// Confined to the executor it was made on.
class Exchange : public std::enable_shared_from_this<Exchange> {
public:
    Exchange(boost::asio::any_io_executor executor, std::shared_ptr<boost::asio::ssl::context> tls,
             std::weak_ptr<ConnectionPool> pool);

    /// Gets a connection, writes `request` and reads the response head.
    boost::asio::awaitable<Response> open(const Request& request);

    /// The next body chunk; see ResponseBody::next.
    boost::asio::awaitable<std::optional<std::string>> nextChunk();

    /// Closes the connection, failing what waits on it with HttpError cancelled.
    void cancel();

    bool isFinished() const noexcept { return finished_; }

private:
    enum class Step { resolve, connect, handshake, exchange };

    void armTimer();
    void close();
    [[noreturn]] void fail(boost::system::error_code error, Step step);
    HttpError errorFor(boost::system::error_code error, Step step) const;
    boost::asio::awaitable<void> connect(const Request& request);
    boost::asio::awaitable<boost::system::error_code> writeAndReadHead(const Request& request);
    bool mayRetry(boost::system::error_code error) const;
    void finish();

    template <class Operation>
    boost::asio::awaitable<boost::system::error_code> onStream(Operation operation);

    boost::asio::any_io_executor executor_;
    std::shared_ptr<boost::asio::ssl::context> tls_;
    std::weak_ptr<ConnectionPool> pool_;
    boost::asio::ip::tcp::resolver resolver_;
    std::shared_ptr<Connection> connection_;
    bool reused_ = false;
    std::optional<boost::beast::http::response_parser<boost::beast::http::buffer_body>> parser_;
    std::string host_;
    bool requestAllowsReuse_ = true;
    std::chrono::steady_clock::duration timeout_{};
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool cancelled_ = false;
    bool finished_ = false;
    std::exception_ptr failure_;
};

}  // namespace platform::http::detail
