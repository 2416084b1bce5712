#include "eventsource/event_source.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/json/codec.hpp"

#include <boost/asio/post.hpp>

#include <algorithm>

namespace eventsource {

namespace asio = boost::asio;
using platform::http::Request;
using platform::http::Response;

namespace {

std::string lowercased(std::string text) {
    for (auto& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

void validate(const Response& response) {
    if (response.status != 200) throw EventSourceError::invalidHTTPStatus(response.status);
    auto contentType = response.headers.get("Content-Type");
    if (!contentType) throw EventSourceError::invalidContentType(std::nullopt);
    if (!lowercased(*contentType).starts_with("text/event-stream")) throw EventSourceError::invalidContentType(contentType);
}

bool isEventSourceError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EventSourceError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

std::shared_ptr<EventSource> EventSource::create(asio::any_io_executor executor, boost::urls::url url,
                                                 Configuration configuration) {
    Request request;
    request.url = std::move(url);
    request.headers.set("Accept", "text/event-stream");
    request.headers.set("Cache-Control", "no-cache");
    return create(std::move(executor), std::move(request), std::move(configuration));
}

std::shared_ptr<EventSource> EventSource::create(asio::any_io_executor executor, Request request,
                                                 Configuration configuration) {
    auto source = std::make_shared<EventSource>(Token{}, executor, std::move(request), std::move(configuration));
    // Started from the executor, so the caller can assign handlers first; a source dropped before
    // then never connects.
    asio::post(executor, [weak = std::weak_ptr<EventSource>(source)] {
        if (auto self = weak.lock()) self->start();
    });
    return source;
}

EventSource::EventSource(Token, asio::any_io_executor executor, Request request, Configuration configuration)
    : executor_(std::move(executor)), request_(std::move(request)), configuration_(std::move(configuration)) {}

void EventSource::start() {
    connectionTask_ = platform::spawnDetached(executor_, connect(shared_from_this()));
}

void EventSource::onOpen(OpenHandler handler) {
    if (!handler) return;
    asio::post(executor_, [weak = weak_from_this(), handler = std::move(handler)]() mutable {
        if (auto self = weak.lock()) self->onOpen_ = std::move(handler);
    });
}

void EventSource::onMessage(MessageHandler handler) {
    if (!handler) return;
    asio::post(executor_, [weak = weak_from_this(), handler = std::move(handler)]() mutable {
        if (auto self = weak.lock()) self->onMessage_ = std::move(handler);
    });
}

void EventSource::onError(ErrorHandler handler) {
    if (!handler) return;
    asio::post(executor_, [weak = weak_from_this(), handler = std::move(handler)]() mutable {
        if (auto self = weak.lock()) self->onError_ = std::move(handler);
    });
}

void EventSource::close() {
    readyState_ = ReadyState::closed;
    if (auto task = std::exchange(connectionTask_, std::nullopt)) task->cancel();
}

bool EventSource::stopping() const { return platform::isCancelled() || readyState_ == ReadyState::closed; }

asio::awaitable<void> EventSource::connect(std::shared_ptr<EventSource> self) {
    // One parser for every attempt: the last event id and the reconnection time carry over.
    Parser parser(self->configuration_.parser);
    platform::http::Client client(self->executor_, self->configuration_.client);
    while (!self->stopping()) {
        std::exception_ptr failure;
        try {
            self->readyState_ = ReadyState::connecting;
            // What a broken stream left half read must not be glued onto the new stream.
            parser.resetStream();
            Request attempt = self->request_;
            if (!parser.getLastEventId().empty()) attempt.headers.set("Last-Event-ID", parser.getLastEventId());
            auto response = co_await client.send(std::move(attempt));
            validate(response);
            self->readyState_ = ReadyState::open;
            if (auto handler = self->onOpen_) co_await handler();
            co_await self->readStream(response, parser);
            co_await self->finishStream(parser);
            if (self->stopping()) break;
            co_await self->report(nullptr);
        } catch (const platform::CancellationError&) {
            break;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            if (self->stopping()) break;
            co_await self->report(failure);
            if (isEventSourceError(failure)) break;
        }
        if (self->stopping()) break;
        auto reconnect = co_await self->waitBeforeReconnecting(parser);
        if (!reconnect) break;
    }
    self->readyState_ = ReadyState::closed;
}

asio::awaitable<void> EventSource::readStream(Response& response, Parser& parser) {
    for (;;) {
        if (stopping()) break;
        auto chunk = co_await response.body.next();
        if (!chunk) co_return;
        for (char byte : *chunk) {
            if (stopping()) break;
            parser.consume(static_cast<std::uint8_t>(byte));
            while (auto event = parser.getNextEvent()) co_await deliver(std::move(*event));
        }
    }
    // Stopped quietly: the rest of the body is not wanted.
    response.cancel();
}

asio::awaitable<void> EventSource::finishStream(Parser& parser) {
    parser.finish();
    for (int delivered = 0; delivered < maximumFinalizationEventCount_; ++delivered) {
        auto event = parser.getNextEvent();
        if (!event) co_return;
        co_await deliver(std::move(*event));
    }
    // At the limit: one more waiting event is dropped, the rest stay queued.
    parser.getNextEvent();
}

asio::awaitable<void> EventSource::deliver(Event event) {
    auto handler = onMessage_;
    if (!handler) co_return;
    try {
        co_await handler(std::move(event));
    } catch (const platform::CancellationError&) {
        throw;
    } catch (...) {
    }
}

asio::awaitable<void> EventSource::report(std::exception_ptr error) {
    auto handler = onError_;
    if (!handler) co_return;
    try {
        co_await handler(std::move(error));
    } catch (const platform::CancellationError&) {
        throw;
    } catch (...) {
    }
}

asio::awaitable<bool> EventSource::waitBeforeReconnecting(const Parser& parser) {
    // "retry" may ask for any 64-bit count of milliseconds; no wait is longer than the maximum.
    const auto requested = std::max<std::int64_t>(parser.getReconnectionTime(), 0);
    const auto delay = std::chrono::milliseconds(
        std::min<std::int64_t>(requested, configuration_.maxReconnectionTime.count()));
    try {
        co_await platform::sleepFor(delay);
    } catch (const platform::CancellationError&) {
        co_return false;
    }
    co_return !stopping();
}

std::string_view description(EventSource::ReadyState state) noexcept {
    switch (state) {
    case EventSource::ReadyState::connecting: return "connecting";
    case EventSource::ReadyState::open: return "open";
    case EventSource::ReadyState::closed: return "closed";
    }
    return "closed";
}

boost::json::value toJSON(EventSource::ReadyState state) { return static_cast<std::int64_t>(state); }

EventSource::ReadyState readyStateFromJSON(const boost::json::value& json) {
    const auto raw = platform::json::decode<std::int64_t>(json);
    if (raw < 0 || raw > 2) {
        throw platform::json::DecodingError(platform::json::DecodingError::Kind::dataCorrupted,
                                            "Cannot initialize ReadyState from invalid Int value " + std::to_string(raw));
    }
    return static_cast<EventSource::ReadyState>(raw);
}

}  // namespace eventsource
