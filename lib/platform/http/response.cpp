#include "platform/http/response.hpp"

#include "platform/http/detail/connection.hpp"
#include "platform/http/http_error.hpp"

namespace platform::http {

namespace {

// Holds the connection itself, so the body may be dropped while a read is in flight.
boost::asio::awaitable<std::optional<std::string>> nextOf(std::shared_ptr<detail::Connection> connection) {
    if (!connection) co_return std::nullopt;
    co_return co_await connection->nextChunk();
}

}  // namespace

boost::asio::awaitable<std::optional<std::string>> ResponseBody::next() { return nextOf(connection_); }

boost::asio::awaitable<std::string> ResponseBody::readAll(std::size_t maxBytes) {
    auto connection = connection_;
    std::string body;
    for (;;) {
        auto chunk = co_await nextOf(connection);
        if (!chunk) break;
        if (chunk->size() > maxBytes - body.size()) {
            connection->cancel();
            throw HttpError(HttpError::Kind::responseTooLarge,
                            "The response body is larger than " + std::to_string(maxBytes) + " bytes");
        }
        body += *chunk;
    }
    co_return body;
}

void ResponseBody::cancel() {
    if (connection_) connection_->cancel();
}

}  // namespace platform::http
