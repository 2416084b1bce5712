#pragma once

#include "eventsource/parser.hpp"

#include <boost/asio/awaitable.hpp>

#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace eventsource {

/// An asynchronous source of byte chunks: `next()` gives the next chunk, or nullopt at the end,
/// and throws the source's errors. platform::AsyncStream<std::string> and the body of a
/// platform::http::Response are such sources.
template <class S>
concept ByteChunkSource = requires(S& source) {
    { source.next() } -> std::same_as<boost::asio::awaitable<std::optional<std::string>>>;
};

/// Reads a byte source as a sequence of events, parsed as Parser reads them.
///
/// Each iterator parses from a fresh Parser and never reads a chunk more than it needs to complete
/// the event it returns: an event is handed out as soon as its blank line has been read. Errors of
/// the source reach the caller unchanged. An iterator is used by one task.
///
/// @par Example
/// @code
/// auto iterator = eventsource::events(response.body).makeAsyncIterator();
/// while (auto event = co_await iterator.next()) handle(*event);
/// @endcode
template <ByteChunkSource Base>
class AsyncServerSentEventsSequence {
public:
    class Iterator {
    public:
        Iterator(Base base, Parser::Options options) : base_(std::move(base)), parser_(options) {}

        /// The next event, or nullopt once the source has ended and no event is left. Throws what
        /// the source throws, and EventStreamLimitError when the stream outgrows the parser.
        boost::asio::awaitable<std::optional<Event>> next() {
            if (auto queued = parser_.getNextEvent()) co_return queued;
            for (;;) {
                while (offset_ < chunk_.size()) {
                    parser_.consume(static_cast<std::uint8_t>(chunk_[offset_++]));
                    if (auto event = parser_.getNextEvent()) co_return event;
                }
                auto chunk = co_await base_.next();
                if (!chunk) {
                    parser_.finish();
                    co_return parser_.getNextEvent();
                }
                chunk_ = std::move(*chunk);
                offset_ = 0;
            }
        }

        /// The parser's state: the last event id and the reconnection time read so far.
        const Parser& parser() const noexcept { return parser_; }

    private:
        Base base_;
        Parser parser_;
        std::string chunk_;
        std::size_t offset_ = 0;
    };

    explicit AsyncServerSentEventsSequence(Base base, Parser::Options options = {})
        : base_(std::move(base)), options_(options) {}

    /// Starts reading; nothing is read before the first call of the iterator's `next()`.
    Iterator makeAsyncIterator() const { return Iterator(base_, options_); }

private:
    Base base_;
    Parser::Options options_;
};

/// The events of `base`.
template <ByteChunkSource Base>
AsyncServerSentEventsSequence<Base> events(Base base, Parser::Options options = {}) {
    return AsyncServerSentEventsSequence<Base>(std::move(base), options);
}

}  // namespace eventsource
