#pragma once

#include "eventsource/event.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace eventsource {

/// Thrown by Parser::consume when the stream outgrows one of the parser's bounds. The stream
/// cannot be read on from there; the parser itself stays usable after resetStream().
class EventStreamLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Turns the bytes of a "text/event-stream" body into events, one byte at a time, and keeps what
/// a reader needs to resume the stream: the last event id and the reconnection time.
///
/// A plain object with one owner; no I/O. Apart from its bounds nothing in the input is an error:
/// ill-formed UTF-8 becomes U+FFFD, unknown fields and comments are ignored.
///
/// @par Example
/// @code
/// eventsource::Parser parser;
/// for (char byte : chunk) {
///     parser.consume(static_cast<std::uint8_t>(byte));
///     while (auto event = parser.getNextEvent()) handle(*event);
/// }
/// parser.finish();  // at the end of the body
/// while (auto event = parser.getNextEvent()) handle(*event);
/// @endcode
class Parser {
public:
    struct Options {
        /// The reconnection time of a fresh parser, in milliseconds.
        std::int64_t reconnectionTime = 3000;
        /// Most bytes of one line not yet ended.
        std::size_t maxLineBytes = 16 * 1024 * 1024;
        /// Most bytes of data in the event being built.
        std::size_t maxEventDataBytes = 16 * 1024 * 1024;
        /// Most dispatched events waiting to be taken.
        std::size_t maxQueuedEvents = 4096;
    };

    Parser() : Parser(Options{}) {}
    explicit Parser(Options options);

    /// Takes one byte; may end a line and so queue an event. Throws EventStreamLimitError when a
    /// bound of Options is exceeded.
    void consume(std::uint8_t byte);

    /// Removes and returns the oldest queued event.
    std::optional<Event> getNextEvent();

    /// The last accepted id of the stream; empty when none.
    const std::string& getLastEventId() const noexcept { return lastEventId_; }

    /// The stream's reconnection time in milliseconds.
    std::int64_t getReconnectionTime() const noexcept { return reconnectionTime_; }

    /// Tells the parser that the byte stream has ended: a pending CR acts as a blank line, an
    /// unterminated last line counts, and an event with data, an id or a type is dispatched.
    void finish();

    /// Forgets the state of the stream read so far (pending line, fields of the event being built,
    /// queued events), keeping the last event id and the reconnection time, so a new connection
    /// resumes cleanly instead of gluing its first bytes onto the old stream's half line.
    void resetStream();

private:
    std::string takeLine();
    void handleLine(std::string_view line);
    void dispatchEvent();
    bool hasFieldsToDispatch() const noexcept;

    Options options_;
    std::optional<std::string> currentEventId_;
    std::optional<std::string> currentEventType_;
    std::string currentData_;
    std::optional<std::int64_t> currentRetry_;
    std::string lastEventId_;
    std::int64_t reconnectionTime_;
    std::string lineBuffer_;
    bool sawCR_ = false;
    std::deque<Event> eventQueue_;
    bool sawDataField_ = false;
};

}  // namespace eventsource
