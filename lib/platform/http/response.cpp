#include "platform/http/response.hpp"

#include "platform/http/detail/exchange.hpp"
#include "platform/http/http_error.hpp"

namespace platform::http {

namespace {

// Holds the exchange itself, so the body may be dropped while a read is in flight.
boost::asio::awaitable<std::optional<std::string>> nextOf(std::shared_ptr<detail::Exchange> exchange) {
    if (!exchange) co_return std::nullopt;
    co_return co_await exchange->nextChunk();
}

}  // namespace

boost::asio::awaitable<std::optional<std::string>> ResponseBody::next() { return nextOf(exchange_); }

boost::asio::awaitable<std::string> ResponseBody::readAll(std::size_t maxBytes) {
    auto exchange = exchange_;
    std::string body;
    for (;;) {
        auto chunk = co_await nextOf(exchange);
        if (!chunk) break;
        if (chunk->size() > maxBytes - body.size()) {
            exchange->cancel();
            throw HttpError(HttpError::Kind::responseTooLarge,
                            "The response body is larger than " + std::to_string(maxBytes) + " bytes");
        }
        body += *chunk;
    }
    co_return body;
}

void ResponseBody::cancel() {
    if (exchange_) exchange_->cancel();
}

}  // namespace platform::http
