#pragma once

#include "eventsource/event.hpp"
#include "eventsource/event_source_error.hpp"
#include "eventsource/parser.hpp"
#include "platform/async/task.hpp"
#include "platform/http/client.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/json/value.hpp>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace eventsource {

/// How an EventSource connects.
struct EventSourceConfiguration {
    platform::http::ClientOptions client;
    Parser::Options parser;
    /// Longest wait before a reconnection, whatever "retry" asked for.
    std::chrono::milliseconds maxReconnectionTime = std::chrono::hours(24);
};

/// Follows the event stream of one HTTP request: opens it, checks that the reply is an event
/// stream (status 200, "text/event-stream"), hands each event to the message handler, and after
/// the stream ends or fails waits the stream's reconnection time and opens it again with
/// "Last-Event-ID", until `close()`, an unacceptable reply, or cancellation.
///
/// It starts connecting as soon as it is created; the running connection loop keeps it alive,
/// so dropping the last reference does not stop it: call `close()`. Confined to the runtime
/// thread of its executor; handlers are awaited there one at a time, in event order, so a slow
/// handler delays reading. Handlers should not throw; what one throws is dropped.
///
/// @par Example
/// @code
/// auto source = eventsource::EventSource::create(executor, boost::urls::url("https://example.org/feed"));
/// source->onMessage([](eventsource::Event event) -> boost::asio::awaitable<void> {
///     show(event.data);
///     co_return;
/// });
/// source->onError([](std::exception_ptr error) -> boost::asio::awaitable<void> {
///     if (error) note(platform::describe(error));  // no error: the stream ended, it reconnects
///     co_return;
/// });
/// // ... later
/// source->close();
/// @endcode
class EventSource : public std::enable_shared_from_this<EventSource> {
public:
    using Event = eventsource::Event;
    using Parser = eventsource::Parser;

    enum class ReadyState { connecting = 0, open = 1, closed = 2 };

    using OpenHandler = std::function<boost::asio::awaitable<void>()>;
    using MessageHandler = std::function<boost::asio::awaitable<void>(Event)>;
    /// Called with the failure, or with no error when a stream ended normally.
    using ErrorHandler = std::function<boost::asio::awaitable<void>(std::exception_ptr)>;

    using Configuration = EventSourceConfiguration;

    /// A GET of `url` with "Accept: text/event-stream" and "Cache-Control: no-cache".
    static std::shared_ptr<EventSource> create(boost::asio::any_io_executor executor, boost::urls::url url,
                                               Configuration configuration = {});
    /// Sends `request` as it is (plus "Last-Event-ID" when due) on every attempt.
    static std::shared_ptr<EventSource> create(boost::asio::any_io_executor executor, platform::http::Request request,
                                               Configuration configuration = {});

    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    const platform::http::Request& request() const noexcept { return request_; }
    const boost::urls::url& url() const noexcept { return request_.url; }
    ReadyState readyState() const noexcept { return readyState_; }

    /// Most events handed out after one stream has ended; 100 at creation, none when zero or below.
    int maximumFinalizationEventCount() const noexcept { return maximumFinalizationEventCount_; }
    void setMaximumFinalizationEventCount(int count) noexcept { maximumFinalizationEventCount_ = count; }

    /// Handler assignments take effect in call order, after the call returns (they are posted to
    /// the executor); events before that go to the previous handler. An empty handler changes
    /// nothing.
    void onOpen(OpenHandler handler);
    void onMessage(MessageHandler handler);
    void onError(ErrorHandler handler);

    /// Closes for good: stops a transfer or wait in progress. No error is reported.
    void close();

private:
    struct Token {};

public:
    EventSource(Token, boost::asio::any_io_executor executor, platform::http::Request request,
                Configuration configuration);

private:
    void start();
    bool stopping() const;
    static boost::asio::awaitable<void> connect(std::shared_ptr<EventSource> self);
    boost::asio::awaitable<void> readStream(platform::http::Response& response, Parser& parser);
    boost::asio::awaitable<void> finishStream(Parser& parser);
    boost::asio::awaitable<void> deliver(Event event);
    boost::asio::awaitable<void> report(std::exception_ptr error);
    boost::asio::awaitable<bool> waitBeforeReconnecting(const Parser& parser);

    boost::asio::any_io_executor executor_;
    platform::http::Request request_;
    Configuration configuration_;
    std::optional<platform::Task<void>> connectionTask_;
    ReadyState readyState_ = ReadyState::connecting;
    int maximumFinalizationEventCount_ = 100;
    OpenHandler onOpen_;
    MessageHandler onMessage_;
    ErrorHandler onError_;
};

/// "connecting", "open" or "closed".
std::string_view description(EventSource::ReadyState state) noexcept;

/// The state's raw value.
boost::json::value toJSON(EventSource::ReadyState state);
/// Throws platform::json::DecodingError for anything but 0, 1 or 2.
EventSource::ReadyState readyStateFromJSON(const boost::json::value& json);

}  // namespace eventsource
