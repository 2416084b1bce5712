#include "mcp/base/transports/in_memory_transport.hpp"

#include "logging/no_op_log_handler.hpp"
#include "mcp/base/mcp_error.hpp"

namespace mcp {

namespace asio = boost::asio;

namespace {

logging::Logger silentLogger(std::string label) {
    return logging::Logger(std::move(label), logging::NoOpLogHandler());
}

}  // namespace

InMemoryTransport::InMemoryTransport(std::optional<logging::Logger> logger)
    : logger_(logger ? std::move(*logger) : silentLogger("mcp.transport.in-memory")) {}

InMemoryTransport::Pair InMemoryTransport::createConnectedPair(std::optional<logging::Logger> logger) {
    auto client = std::make_shared<InMemoryTransport>(logger ? *logger : silentLogger("mcp.transport.in-memory.client"));
    auto server = std::make_shared<InMemoryTransport>(logger ? *logger : silentLogger("mcp.transport.in-memory.server"));
    client->weakPeer_ = server;
    server->weakPeer_ = client;
    return Pair{std::move(client), std::move(server)};
}

std::shared_ptr<InMemoryTransport> InMemoryTransport::peer() const {
    return peer_ ? peer_ : weakPeer_.lock();
}

asio::awaitable<void> InMemoryTransport::connect() {
    if (connected_) {
        logger_.debug("Transport already connected");
        co_return;
    }
    auto paired = weakPeer_.lock();
    if (!paired) {
        throw MCPError::internalError(
            "Transport not paired. Use createConnectedPair() to create paired transports.");
    }
    peer_ = std::move(paired);
    connected_ = true;
    logger_.info("Transport connected successfully");
}

asio::awaitable<void> InMemoryTransport::disconnect() {
    if (!connected_) co_return;
    // Kept alive for the rest of the call: dropping the strong reference may free the peer's last
    // hold on this side.
    auto self = shared_from_this();
    auto paired = std::exchange(peer_, nullptr);
    connected_ = false;
    if (messageStream_) std::exchange(messageStream_, std::nullopt)->finish();
    if (paired) paired->handlePeerDisconnection();
    logger_.info("Transport disconnected");
}

void InMemoryTransport::handlePeerDisconnection() {
    if (!connected_) return;
    if (messageStream_) {
        std::exchange(messageStream_, std::nullopt)->finish(std::make_exception_ptr(MCPError::connectionClosed()));
    }
    connected_ = false;
    peer_ = nullptr;
    logger_.info("Peer transport disconnected");
}

asio::awaitable<void> InMemoryTransport::send(std::string data) {
    if (!connected_) throw MCPError::internalError("Transport not connected");
    auto paired = peer();
    if (!paired) throw MCPError::internalError("No paired transport");
    logger_.debug("Sending message", {{"size", data.size()}});
    paired->deliverMessage(std::move(data));
    co_return;
}

void InMemoryTransport::deliverMessage(std::string data) {
    if (!connected_) {
        logger_.warning("Received message while disconnected");
        return;
    }
    logger_.debug("Message received", {{"size", data.size()}});
    if (messageStream_) {
        messageStream_->yield(std::move(data));
    } else {
        incomingMessages_.push_back(std::move(data));
    }
}

platform::AsyncStream<std::string> InMemoryTransport::receive() {
    platform::AsyncStream<std::string> stream;
    while (!incomingMessages_.empty()) {
        stream.yield(std::move(incomingMessages_.front()));
        incomingMessages_.pop_front();
    }
    if (connected_) {
        messageStream_ = stream;
    } else {
        messageStream_.reset();
        stream.finish();
    }
    return stream;
}

}  // namespace mcp
