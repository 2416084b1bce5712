#pragma once

#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "platform/async/task.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <functional>
#include <list>
#include <memory>

namespace testing_support {

/// An HTTP/1.1 listener on 127.0.0.1 that hands every request to a handler as an HTTPRequest and
/// writes the HTTPResponse back, as an embedding server does for the HTTP server transports:
/// whole bodies with a Content-Length, event streams chunked, each event written as it comes.
/// Connections are kept alive between requests. For peers that speak real HTTP to the library.
///
/// Confined to the thread running its executor; `stop` from that thread too.
class ConformanceHTTPListener {
public:
    using Handler = std::function<boost::asio::awaitable<mcp::HTTPResponse>(mcp::HTTPRequest)>;

    /// Binds an ephemeral port on 127.0.0.1 at once; serves once `start` is called.
    ConformanceHTTPListener(boost::asio::any_io_executor executor, Handler handler);

    unsigned short port() const;

    void start();
    /// Closes the listening socket and every connection, giving up the streams being written.
    void stop();

private:
    boost::asio::awaitable<void> acceptLoop();
    boost::asio::awaitable<void> serve(boost::asio::ip::tcp::socket socket);

    boost::asio::any_io_executor executor_;
    Handler handler_;
    boost::asio::ip::tcp::acceptor acceptor_;
    std::list<platform::Task<void>> tasks_;
    bool stopped_ = false;
};

}  // namespace testing_support
