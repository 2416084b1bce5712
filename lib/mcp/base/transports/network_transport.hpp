#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>

#include "logging/logger.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/base/transports/network_connection.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"

namespace mcp {

/// Newline-framed JSON-RPC over one NetworkConnection, with heartbeat frames and reconnection.
///
/// Each message goes out as its bytes and a line feed; each non-empty line received is one
/// message. While connected, a heartbeat frame goes out every `interval` seconds. A failed
/// connection attempt, and a failure on the data path, are answered by connecting again after a
/// growing wait. Confined to the runtime thread of the connection; held through std::shared_ptr.
///
/// @par Example
/// @code
/// auto connection = TcpNetworkConnection::create(executor, "127.0.0.1", 9000);
/// auto transport = NetworkTransport::create(connection);
/// co_await client->connect(transport);
/// @endcode
class NetworkTransport final : public Transport, public std::enable_shared_from_this<NetworkTransport> {
public:
    /// The 12-byte frame that tells the peer the sender is alive: F0 9F 92 93, then the send time
    /// as a little-endian unsigned count of milliseconds since 2001-01-01T00:00:00Z.
    class Heartbeat {
    public:
        static constexpr std::array<std::uint8_t, 4> magicBytes{0xF0, 0x9F, 0x92, 0x93};
        static constexpr std::size_t size = 12;
        /// Seconds from the Unix epoch to 2001-01-01T00:00:00Z.
        static constexpr double referenceDateOffset = 978307200;

        /// Stamped with the current wall-clock time.
        Heartbeat();
        /// `timestamp` in seconds since 2001-01-01T00:00:00Z.
        explicit Heartbeat(double timestamp) : timestamp_(timestamp) {}

        /// None unless `bytes` holds at least 12 bytes beginning with the magic bytes; bytes after
        /// the twelfth are ignored.
        static std::optional<Heartbeat> fromRawValue(std::string_view bytes);
        /// True when `bytes` holds at least the 4 magic bytes at its start.
        static bool isHeartbeat(std::string_view bytes);
        /// None for fewer than 12 bytes, else `fromRawValue`.
        static std::optional<Heartbeat> from(std::string_view bytes);

        double timestamp() const noexcept { return timestamp_; }
        /// Whole milliseconds since the reference date; a time before it reads as 0 and one past
        /// the 64-bit range as the largest count.
        std::uint64_t milliseconds() const noexcept;
        std::array<std::uint8_t, 12> rawValue() const noexcept;
        /// The same 12 bytes, as they are sent.
        std::string data() const;

        /// Equal when their frames are equal.
        bool operator==(const Heartbeat& other) const noexcept { return milliseconds() == other.milliseconds(); }

    private:
        double timestamp_;
    };

    struct HeartbeatConfiguration {
        bool enabled = true;
        /// Seconds between a heartbeat sent and the next.
        double interval = 15.0;

        static const HeartbeatConfiguration defaults;
        static const HeartbeatConfiguration disabled;
        bool operator==(const HeartbeatConfiguration&) const = default;
    };

    struct ReconnectionConfiguration {
        bool enabled = true;
        std::int64_t maxAttempts = 5;
        double backoffMultiplier = 1.5;

        static const ReconnectionConfiguration defaults;
        static const ReconnectionConfiguration disabled;
        bool operator==(const ReconnectionConfiguration&) const = default;

        /// Seconds to wait before reconnection attempt `attempt` (1 for the first retry):
        /// 0.5 × multiplier^(attempt − 1).
        double backoffDelay(std::int64_t attempt) const;
    };

    struct BufferConfiguration {
        /// The most bytes asked of the connection in one read; none for no limit.
        std::optional<std::int64_t> maxReceiveBufferSize = 10 * 1024 * 1024;

        static const BufferConfiguration defaults;
        static const BufferConfiguration unlimited;
        bool operator==(const BufferConfiguration&) const = default;
    };

    /// The fixed waits, as fields so tests can shorten them.
    struct Timing {
        /// One second of backoff: `backoffDelay` is counted in these.
        std::chrono::steady_clock::duration backoffUnit = std::chrono::seconds(1);
        std::chrono::steady_clock::duration firstHeartbeatDelay = std::chrono::seconds(1);
        std::chrono::steady_clock::duration heartbeatFailurePause = std::chrono::seconds(2);
        std::chrono::steady_clock::duration sendReconnectionDelay = std::chrono::milliseconds(500);
        std::chrono::steady_clock::duration emptyReadPause = std::chrono::milliseconds(100);
        /// Heartbeat intervals count in these.
        std::chrono::steady_clock::duration intervalUnit = std::chrono::seconds(1);
    };

    /// The longest line a peer may send without a line feed; past it the message stream fails.
    static constexpr std::size_t defaultMaxLineBytes = 16 * 1024 * 1024;

    static std::shared_ptr<NetworkTransport> create(
        std::shared_ptr<NetworkConnection> connection, std::optional<logging::Logger> logger = std::nullopt,
        HeartbeatConfiguration heartbeatConfig = HeartbeatConfiguration::defaults,
        ReconnectionConfiguration reconnectionConfig = ReconnectionConfiguration::defaults,
        BufferConfiguration bufferConfig = BufferConfiguration::defaults);

    NetworkTransport(const NetworkTransport&) = delete;
    NetworkTransport& operator=(const NetworkTransport&) = delete;

    logging::Logger logger() const override { return logger_; }

    /// Starts the connection and returns once it is ready, retrying failed attempts with growing
    /// waits as configured. Throws the last attempt's error, or MCPError internal error "Failed to
    /// connect after N attempts". A call while another is under way waits for that one.
    boost::asio::awaitable<void> connect() override;

    /// Cancels the connection, the heartbeat and any reconnection under way, and ends the message
    /// stream normally. Does nothing when neither connected nor reconnecting.
    boost::asio::awaitable<void> disconnect() override;

    /// Writes `data` and a line feed as one send; returns once the connection has processed it.
    /// Throws MCPError internal error "Transport not connected" or "Send error: ...".
    boost::asio::awaitable<void> send(std::string data) override;

    /// The messages received; outlives reconnections. Ends normally at `disconnect`, and with an
    /// error when the connection is lost for good.
    platform::AsyncStream<std::string> receive() override { return messages_; }

    bool isConnected() const noexcept { return connected_; }
    bool isStopping() const noexcept { return stopping_; }
    std::int64_t reconnectAttempt() const noexcept { return reconnectAttempt_; }
    bool hasHeartbeatTask() const noexcept { return heartbeatTask_.has_value(); }

    const HeartbeatConfiguration heartbeatConfig;
    const ReconnectionConfiguration reconnectionConfig;
    const BufferConfiguration bufferConfig;
    /// Shortened by tests; read when each wait begins.
    Timing timing;
    std::size_t maxLineBytes = defaultMaxLineBytes;

private:
    NetworkTransport(std::shared_ptr<NetworkConnection> connection, std::optional<logging::Logger> logger,
                     HeartbeatConfiguration heartbeatConfig, ReconnectionConfiguration reconnectionConfig,
                     BufferConfiguration bufferConfig);

    boost::asio::awaitable<void> connectOnce();
    boost::asio::awaitable<void> attemptConnection();
    void handleConnectionReady();
    void startHeartbeat();
    static boost::asio::awaitable<void> heartbeatLoop(std::weak_ptr<NetworkTransport> weak);
    boost::asio::awaitable<void> sendHeartbeat();
    boost::asio::awaitable<void> sendFrame(std::string frame, bool isMessage);

    static boost::asio::awaitable<void> receiveLoop(std::shared_ptr<NetworkTransport> self);
    boost::asio::awaitable<std::string> receiveData();
    /// Cuts what is buffered into messages and heartbeat frames; false when the line limit is
    /// passed.
    bool consume(std::string& buffer, int& emptyReads);

    void startReconnection(std::chrono::steady_clock::duration delay);
    static boost::asio::awaitable<void> reconnect(std::shared_ptr<NetworkTransport> self,
                                                  std::chrono::steady_clock::duration delay);
    std::chrono::steady_clock::duration backoffWait(std::int64_t attempt) const;

    std::shared_ptr<NetworkConnection> connection_;
    logging::Logger logger_;
    boost::asio::any_io_executor executor_;
    bool connected_ = false;
    bool stopping_ = false;
    std::int64_t reconnectAttempt_ = 0;
    std::optional<platform::Task<void>> heartbeatTask_;
    platform::AsyncStream<std::string> messages_;
    // A connect under way, and the callers waiting for its outcome.
    bool connecting_ = false;
    std::vector<platform::OneShot<void>> connectWaiters_;
    std::vector<platform::Task<void>> reconnections_;
};

}  // namespace mcp

template <>
struct std::hash<mcp::NetworkTransport::Heartbeat> {
    std::size_t operator()(const mcp::NetworkTransport::Heartbeat& heartbeat) const noexcept {
        return std::hash<std::uint64_t>{}(heartbeat.milliseconds());
    }
};

template <>
struct std::hash<mcp::NetworkTransport::HeartbeatConfiguration> {
    std::size_t operator()(const mcp::NetworkTransport::HeartbeatConfiguration& config) const noexcept {
        return std::hash<bool>{}(config.enabled) * 31 + std::hash<double>{}(config.interval);
    }
};

template <>
struct std::hash<mcp::NetworkTransport::ReconnectionConfiguration> {
    std::size_t operator()(const mcp::NetworkTransport::ReconnectionConfiguration& config) const noexcept {
        return (std::hash<bool>{}(config.enabled) * 31 + std::hash<std::int64_t>{}(config.maxAttempts)) * 31 +
               std::hash<double>{}(config.backoffMultiplier);
    }
};

template <>
struct std::hash<mcp::NetworkTransport::BufferConfiguration> {
    std::size_t operator()(const mcp::NetworkTransport::BufferConfiguration& config) const noexcept {
        return std::hash<std::optional<std::int64_t>>{}(config.maxReceiveBufferSize);
    }
};
