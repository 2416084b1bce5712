#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/awaitable.hpp>

#include "logging/logger.hpp"
#include "mcp/base/transport.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"

namespace mcp {

/// Newline-delimited JSON-RPC over two file descriptors: each message is one line of UTF-8 JSON
/// ended by a line feed. For a server started by its client these are standard input and output.
///
/// The descriptors are the caller's: the transport makes them non-blocking but never closes
/// them. It polls them rather than waiting on readiness, so any kind of descriptor works, regular
/// files included; a read or write that would block pauses for `pollInterval` and tries again.
/// Confined to one runtime thread; the read loop is a task on it that holds the transport weakly.
class StdioTransport final : public Transport, public std::enable_shared_from_this<StdioTransport> {
public:
    /// The pause after a read or write that would block.
    static constexpr std::chrono::milliseconds defaultPollInterval{10};
    /// The size of the one read buffer.
    static constexpr std::size_t readBufferSize = 4096;

    /// Reads from `input` and writes to `output`. Without a logger it logs to one labelled
    /// "mcp.transport.stdio" that discards everything.
    StdioTransport(int input, int output, std::optional<logging::Logger> logger = std::nullopt);

    StdioTransport(const StdioTransport&) = delete;
    StdioTransport& operator=(const StdioTransport&) = delete;

    logging::Logger logger() const override { return logger_; }

    /// Makes both descriptors non-blocking (input first) and starts the read loop without waiting
    /// for input. Throws MCPError (transport error wrapping the system error) when `fcntl` fails,
    /// leaving the transport unconnected. A second call does nothing.
    boost::asio::awaitable<void> connect() override;

    /// Ends the message stream normally; the read loop stops before its next read. Does nothing
    /// when not connected. Not meant to be followed by another `connect`.
    boost::asio::awaitable<void> disconnect() override;

    /// Writes `data` and a line feed, all of it, pausing whenever the descriptor would block.
    /// Throws MCPError (transport error wrapping ENOTCONN) when not connected, wrapping the system
    /// error when a write fails, and CancellationError when cancelled during a pause. `data` must
    /// hold no line feed of its own. Concurrent sends are written one after another, each whole.
    boost::asio::awaitable<void> send(std::string data) override;

    /// One element per non-empty line received, without its line feed; every call gives the same
    /// stream. It ends normally at end of input, at a read error, and at `disconnect`; a last line
    /// without a line feed is dropped.
    platform::AsyncStream<std::string> receive() override { return messages_; }

    bool isConnected() const noexcept { return connected_; }

    /// Shortened by tests; takes effect at the next pause.
    std::chrono::steady_clock::duration pollInterval = defaultPollInterval;

private:
    static boost::asio::awaitable<void> readLoop(std::weak_ptr<StdioTransport> weak);
    /// Appends the bytes read to `pending` and hands on every complete line.
    void consume(const char* bytes, std::size_t count, std::string& pending);
    boost::asio::awaitable<void> writeAll(const std::string& bytes);

    int input_;
    int output_;
    logging::Logger logger_;
    bool connected_ = false;
    platform::AsyncStream<std::string> messages_;
    std::optional<platform::Task<void>> readTask_;
    // Sends wait here in turn, so a send paused on a full pipe is never interleaved with another.
    bool writing_ = false;
    std::deque<platform::OneShot<void>> writeQueue_;
};

}  // namespace mcp
