#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <boost/asio/awaitable.hpp>

#include "logging/logger.hpp"
#include "mcp/base/transport.hpp"
#include "platform/async/async_stream.hpp"

namespace mcp {

/// One side of a pair of transports joined in memory: what one side sends is handed, as the same
/// bytes, to the other side's receive stream. Serves a client and a server engine in one process.
///
/// Both sides of a pair live on one runtime thread, so a message is in the peer's queue or stream
/// by the time `send` returns, and messages arrive in the order they were sent. A side holds its
/// peer strongly only while it is connected; once a disconnection leaves both sides unconnected
/// they hold each other weakly, so a pair that nobody else holds is freed, while a pair that its
/// owners still hold can connect again.
class InMemoryTransport final : public Transport, public std::enable_shared_from_this<InMemoryTransport> {
public:
    struct Pair {
        std::shared_ptr<InMemoryTransport> client;
        std::shared_ptr<InMemoryTransport> server;
    };

    /// A lone transport, paired with nothing, so it cannot connect. Without a logger it logs to one
    /// labelled "mcp.transport.in-memory" that discards everything.
    explicit InMemoryTransport(std::optional<logging::Logger> logger = std::nullopt);

    /// Two new transports, each the other's peer, neither connected. Both log to `logger`; without
    /// one the client's logger is labelled "mcp.transport.in-memory.client" and the server's
    /// "mcp.transport.in-memory.server", both discarding everything.
    static Pair createConnectedPair(std::optional<logging::Logger> logger = std::nullopt);

    InMemoryTransport(const InMemoryTransport&) = delete;
    InMemoryTransport& operator=(const InMemoryTransport&) = delete;

    logging::Logger logger() const override { return logger_; }

    /// Connects this side. Harmless when already connected; throws MCPError (internal) for a
    /// transport that has no peer.
    boost::asio::awaitable<void> connect() override;

    /// Ends this side's receive stream normally and the peer's with a connection-closed error;
    /// both sides are then unconnected, still paired. Does nothing when not connected.
    boost::asio::awaitable<void> disconnect() override;

    /// Hands `data` to the peer. Throws MCPError (internal, "Transport not connected") when this
    /// side is not connected. A peer that is not connected drops the message with a warning; the
    /// send still succeeds.
    boost::asio::awaitable<void> send(std::string data) override;

    /// A new stream that first gives the messages queued so far, then those that arrive. It
    /// replaces the stream of an earlier call, which gets no further messages; when this side is
    /// not connected the new stream ends after the queued messages.
    platform::AsyncStream<std::string> receive() override;

    bool isConnected() const noexcept { return connected_; }

private:
    void deliverMessage(std::string data);
    void handlePeerDisconnection();
    std::shared_ptr<InMemoryTransport> peer() const;

    logging::Logger logger_;
    bool connected_ = false;
    // Strong while connected, so a running pair keeps its peer; weak otherwise.
    std::shared_ptr<InMemoryTransport> peer_;
    std::weak_ptr<InMemoryTransport> weakPeer_;
    std::deque<std::string> incomingMessages_;
    std::optional<platform::AsyncStream<std::string>> messageStream_;
};

}  // namespace mcp
