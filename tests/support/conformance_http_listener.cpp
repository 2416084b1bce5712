#include "support/conformance_http_listener.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

namespace testing_support {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using asio::ip::tcp;

namespace {

constexpr auto tuple = asio::as_tuple(asio::use_awaitable);

mcp::HTTPRequest toHTTPRequest(const http::request<http::string_body>& message) {
    mcp::HTTPRequest request;
    request.method = std::string(message.method_string());
    for (const auto& field : message) request.headers[std::string(field.name_string())] = std::string(field.value());
    if (!message.body().empty()) request.body = message.body();
    auto target = std::string_view(message.target());
    request.path = std::string(target.substr(0, target.find('?')));
    return request;
}

template <class Message>
void setHeaders(Message& message, const mcp::HTTPResponse& response) {
    for (const auto& [name, value] : response.headers()) message.set(name, value);
}

}  // namespace

ConformanceHTTPListener::ConformanceHTTPListener(asio::any_io_executor executor, Handler handler)
    : executor_(executor), handler_(std::move(handler)), acceptor_(executor) {
    tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen();
}

unsigned short ConformanceHTTPListener::port() const {
    return acceptor_.local_endpoint().port();
}

void ConformanceHTTPListener::start() {
    tasks_.push_back(platform::spawnDetached(executor_, acceptLoop()));
}

void ConformanceHTTPListener::stop() {
    stopped_ = true;
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    for (auto& task : tasks_) task.cancel();
}

asio::awaitable<void> ConformanceHTTPListener::acceptLoop() {
    while (!stopped_) {
        auto [error, socket] = co_await acceptor_.async_accept(tuple);
        if (error || stopped_) co_return;
        // Finished connections are forgotten as new ones come.
        tasks_.remove_if([](const platform::Task<void>& task) { return task.isFinished(); });
        tasks_.push_back(platform::spawnDetached(executor_, serve(std::move(socket))));
    }
}

asio::awaitable<void> ConformanceHTTPListener::serve(tcp::socket socket) {
    // An event stream leaves in several small writes (head, each event, the last chunk). With
    // Nagle's algorithm each would wait for the client's delayed acknowledgement of the one
    // before, some 40 ms on a connection the client keeps for its next request.
    boost::system::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    beast::tcp_stream stream(std::move(socket));
    beast::flat_buffer buffer;
    while (!stopped_) {
        http::request<http::string_body> message;
        auto [readError, read] = co_await http::async_read(stream, buffer, message, tuple);
        if (readError) break;
        const bool keepAlive = message.keep_alive();
        auto response = co_await handler_(toHTTPRequest(message));
        if (stopped_) break;

        if (const auto& events = response.eventStream()) {
            http::response<http::empty_body> head{static_cast<http::status>(response.statusCode()), 11};
            setHeaders(head, response);
            head.keep_alive(keepAlive);
            head.chunked(true);
            http::response_serializer<http::empty_body> serializer{head};
            auto [headError, headSize] = co_await http::async_write_header(stream, serializer, tuple);
            if (headError) {
                events->cancel();
                break;
            }
            bool written = true;
            for (;;) {
                auto event = co_await events->next();
                if (!event) break;
                auto [chunkError, chunkSize] = co_await asio::async_write(stream, http::make_chunk(asio::buffer(*event)), tuple);
                if (chunkError) {
                    // The client went away: the events stay stored for a resumption.
                    events->cancel();
                    written = false;
                    break;
                }
            }
            if (!written || stopped_) break;
            auto [lastError, lastSize] = co_await asio::async_write(stream, http::make_chunk_last(), tuple);
            if (lastError) break;
        } else {
            http::response<http::string_body> whole{static_cast<http::status>(response.statusCode()), 11};
            setHeaders(whole, response);
            if (response.bodyData()) whole.body() = *response.bodyData();
            whole.keep_alive(keepAlive);
            whole.prepare_payload();
            auto [writeError, writeSize] = co_await http::async_write(stream, whole, tuple);
            if (writeError) break;
        }
        if (!keepAlive) break;
    }
    stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
}

}  // namespace testing_support
