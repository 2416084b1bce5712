#include "mcp/base/transports/network_transport.hpp"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <system_error>
#include <utility>

#include <boost/asio/this_coro.hpp>

#include "logging/no_op_log_handler.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/transports/detail/failure_text.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/describe.hpp"

namespace mcp {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;
using State = NetworkConnectionState;

namespace {

constexpr std::string_view magic{"\xF0\x9F\x92\x93", 4};
constexpr int emptyReadWarningCount = 5;

// Durations from settings: NaN and negatives wait nothing, nothing waits longer than a day, so
// the conversion to a chrono duration never overflows.
Clock::duration scaled(double units, Clock::duration unit) {
    if (!(units > 0)) return Clock::duration::zero();
    constexpr double day = 24 * 60 * 60;
    double seconds = std::min(units * std::chrono::duration<double>(unit).count(), day);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// A date as the platform writes one by default: "2001-01-01 00:16:40 +0000".
std::string dateText(double secondsSinceReference) {
    double unixSeconds = secondsSinceReference + NetworkTransport::Heartbeat::referenceDateOffset;
    if (!std::isfinite(unixSeconds)) return "?";
    std::time_t time = static_cast<std::time_t>(std::floor(unixSeconds));
    std::tm parts{};
    if (!::gmtime_r(&time, &parts)) return "?";
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &parts);
    return text;
}

bool brokenConnection(const std::error_code& error) {
    return error == std::errc::not_connected || error == std::errc::connection_reset;
}

struct ReadResult {
    std::optional<std::string> content;
    bool isComplete = false;
    std::optional<std::error_code> error;
};

}  // namespace

// --- Heartbeat ---

NetworkTransport::Heartbeat::Heartbeat()
    : timestamp_(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() -
                 referenceDateOffset) {}

std::uint64_t NetworkTransport::Heartbeat::milliseconds() const noexcept {
    double count = timestamp_ * 1000.0;
    if (!(count > 0)) return 0;
    if (count >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(count);
}

std::array<std::uint8_t, 12> NetworkTransport::Heartbeat::rawValue() const noexcept {
    std::array<std::uint8_t, 12> bytes{};
    std::copy(magicBytes.begin(), magicBytes.end(), bytes.begin());
    auto count = milliseconds();
    for (int i = 0; i < 8; ++i) bytes[4 + i] = static_cast<std::uint8_t>(count >> (8 * i));
    return bytes;
}

std::string NetworkTransport::Heartbeat::data() const {
    auto bytes = rawValue();
    return std::string(bytes.begin(), bytes.end());
}

bool NetworkTransport::Heartbeat::isHeartbeat(std::string_view bytes) {
    return bytes.size() >= magic.size() && bytes.substr(0, magic.size()) == magic;
}

std::optional<NetworkTransport::Heartbeat> NetworkTransport::Heartbeat::fromRawValue(std::string_view bytes) {
    if (bytes.size() < size || !isHeartbeat(bytes)) return std::nullopt;
    std::uint64_t count = 0;
    for (int i = 0; i < 8; ++i) count |= std::uint64_t(static_cast<std::uint8_t>(bytes[4 + i])) << (8 * i);
    return Heartbeat(static_cast<double>(count) / 1000.0);
}

std::optional<NetworkTransport::Heartbeat> NetworkTransport::Heartbeat::from(std::string_view bytes) {
    if (bytes.size() < size) return std::nullopt;
    return fromRawValue(bytes);
}

// --- Configurations ---

const NetworkTransport::HeartbeatConfiguration NetworkTransport::HeartbeatConfiguration::defaults{true, 15.0};
const NetworkTransport::HeartbeatConfiguration NetworkTransport::HeartbeatConfiguration::disabled{false, 15.0};
const NetworkTransport::ReconnectionConfiguration NetworkTransport::ReconnectionConfiguration::defaults{true, 5, 1.5};
const NetworkTransport::ReconnectionConfiguration NetworkTransport::ReconnectionConfiguration::disabled{false, 5, 1.5};
const NetworkTransport::BufferConfiguration NetworkTransport::BufferConfiguration::defaults{10 * 1024 * 1024};
const NetworkTransport::BufferConfiguration NetworkTransport::BufferConfiguration::unlimited{std::nullopt};

double NetworkTransport::ReconnectionConfiguration::backoffDelay(std::int64_t attempt) const {
    return 0.5 * std::pow(backoffMultiplier, static_cast<double>(attempt) - 1.0);
}

// --- Lifecycle ---

std::shared_ptr<NetworkTransport> NetworkTransport::create(std::shared_ptr<NetworkConnection> connection,
                                                           std::optional<logging::Logger> logger,
                                                           HeartbeatConfiguration heartbeatConfig,
                                                           ReconnectionConfiguration reconnectionConfig,
                                                           BufferConfiguration bufferConfig) {
    return std::shared_ptr<NetworkTransport>(new NetworkTransport(std::move(connection), std::move(logger),
                                                                  heartbeatConfig, reconnectionConfig, bufferConfig));
}

NetworkTransport::NetworkTransport(std::shared_ptr<NetworkConnection> connection, std::optional<logging::Logger> logger,
                                   HeartbeatConfiguration heartbeatConfig, ReconnectionConfiguration reconnectionConfig,
                                   BufferConfiguration bufferConfig)
    : heartbeatConfig(heartbeatConfig),
      reconnectionConfig(reconnectionConfig),
      bufferConfig(bufferConfig),
      connection_(std::move(connection)),
      logger_(logger ? std::move(*logger) : logging::Logger("mcp.transport.network", logging::NoOpLogHandler())) {}

Clock::duration NetworkTransport::backoffWait(std::int64_t attempt) const {
    return scaled(reconnectionConfig.backoffDelay(attempt), timing.backoffUnit);
}

asio::awaitable<void> NetworkTransport::connect() {
    if (connected_) co_return;
    // One connect at a time: the send and receive paths may both reconnect, and two attempts on
    // the one connection would steal each other's state reports.
    if (connecting_) {
        platform::OneShot<void> outcome;
        connectWaiters_.push_back(outcome);
        co_await outcome.wait();
        co_return;
    }
    executor_ = co_await asio::this_coro::executor;
    connecting_ = true;
    std::exception_ptr failure;
    try {
        co_await connectOnce();
    } catch (...) {
        failure = std::current_exception();
    }
    connecting_ = false;
    for (auto& waiter : std::exchange(connectWaiters_, {})) {
        if (failure) waiter.fail(failure);
        else waiter.resume();
    }
    if (failure) std::rethrow_exception(failure);
}

asio::awaitable<void> NetworkTransport::connectOnce() {
    stopping_ = false;
    reconnectAttempt_ = 0;
    while (!connected_ && reconnectAttempt_ <= reconnectionConfig.maxAttempts) {
        std::exception_ptr failure;
        try {
            co_await attemptConnection();
            co_return;
        } catch (...) {
            failure = std::current_exception();
        }
        if (platform::isCancelled()) std::rethrow_exception(failure);
        if (stopping_ || !reconnectionConfig.enabled || reconnectAttempt_ >= reconnectionConfig.maxAttempts)
            std::rethrow_exception(failure);
        auto attempt = ++reconnectAttempt_;
        logger_.debug([&] {
            return "Attempting reconnection (" + std::to_string(attempt) + "/" +
                   std::to_string(reconnectionConfig.maxAttempts) + ")...";
        });
        co_await platform::sleepFor(backoffWait(attempt));
        connection_->cancel();
    }
    if (connected_) co_return;
    throw MCPError::internalError("Failed to connect after " + std::to_string(reconnectAttempt_) + " attempts");
}

asio::awaitable<void> NetworkTransport::attemptConnection() {
    platform::AsyncStream<State> states;
    connection_->setStateUpdateHandler([states](State state) {
        states.yield(state);
        if (state.kind == State::Kind::ready || state.kind == State::Kind::failed ||
            state.kind == State::Kind::cancelled)
            states.finish();
    });
    // No handler stays installed after the attempt, whatever its end.
    struct RemoveHandler {
        std::weak_ptr<NetworkConnection> connection;
        ~RemoveHandler() {
            if (auto c = connection.lock()) c->setStateUpdateHandler({});
        }
    } removeHandler{connection_};
    connection_->start();
    for (;;) {
        auto state = co_await states.next();
        if (!state) {
            // Only a cancelled wait ends the states without a terminal one: never success.
            platform::checkCancellation();
            throw MCPError::internalError("Connection cancelled");
        }
        switch (state->kind) {
            case State::Kind::setup: logger_.debug("Connection setup..."); break;
            case State::Kind::preparing: logger_.debug("Connection preparing..."); break;
            case State::Kind::waiting:
                logger_.debug([&] { return "Connection waiting: " + state->error.message(); });
                break;
            case State::Kind::ready: handleConnectionReady(); co_return;
            case State::Kind::failed:
                logger_.error([&] { return "Connection failed: " + state->error.message(); });
                throw std::system_error(state->error);
            case State::Kind::cancelled:
                logger_.warning("Connection cancelled");
                throw MCPError::internalError("Connection cancelled");
            default: logger_.warning("Unknown connection state"); break;
        }
    }
}

void NetworkTransport::handleConnectionReady() {
    connected_ = true;
    reconnectAttempt_ = 0;
    logger_.debug("Network transport connected successfully");
    platform::spawnDetached(executor_, receiveLoop(shared_from_this()));
    if (heartbeatConfig.enabled) startHeartbeat();
}

void NetworkTransport::startHeartbeat() {
    if (heartbeatTask_) heartbeatTask_->cancel();
    heartbeatTask_ = platform::spawnDetached(executor_, heartbeatLoop(weak_from_this()));
}

asio::awaitable<void> NetworkTransport::heartbeatLoop(std::weak_ptr<NetworkTransport> weak) {
    auto self = weak.lock();
    if (!self) co_return;
    try {
        co_await platform::sleepFor(self->timing.firstHeartbeatDelay);
    } catch (...) {
    }
    while (!platform::isCancelled()) {
        if (self->stopping_ || !self->connected_) break;
        std::exception_ptr failure;
        try {
            co_await self->sendHeartbeat();
            co_await platform::sleepFor(scaled(self->heartbeatConfig.interval, self->timing.intervalUnit));
        } catch (...) {
            failure = std::current_exception();
        }
        if (!failure) continue;
        self->logger_.warning([&] { return "Heartbeat failed: " + platform::describe(failure); });
        try {
            co_await platform::sleepFor(self->timing.heartbeatFailurePause);
        } catch (...) {
        }
    }
}

static asio::awaitable<std::optional<std::error_code>> writeToConnection(std::shared_ptr<NetworkConnection> connection,
                                                                 std::string bytes) {
    // A completion that runs twice resumes nothing the second time.
    platform::OneShot<std::optional<std::error_code>> done;
    connection->send(std::move(bytes), [done](std::optional<std::error_code> error) { done.resume(error); });
    co_return co_await done.wait();
}

asio::awaitable<void> NetworkTransport::sendHeartbeat() {
    if (!connected_ || stopping_) co_return;
    auto error = co_await writeToConnection(connection_, Heartbeat().data());
    if (error) throw std::system_error(*error);
    logger_.trace("Heartbeat sent");
}

asio::awaitable<void> NetworkTransport::send(std::string data) {
    if (!connected_) throw MCPError::internalError("Transport not connected");
    data.push_back('\n');
    auto error = co_await writeToConnection(connection_, std::move(data));
    if (!error) co_return;
    auto text = error->message();
    logger_.error("Send error: " + text);
    if (!stopping_ && reconnectionConfig.enabled && connected_ && brokenConnection(*error)) {
        logger_.warning("Connection appears broken, will attempt to reconnect...");
        connected_ = false;
        startReconnection(timing.sendReconnectionDelay);
    }
    throw MCPError::internalError("Send error: " + text);
}

asio::awaitable<void> NetworkTransport::disconnect() {
    bool reconnecting = std::any_of(reconnections_.begin(), reconnections_.end(),
                                    [](const platform::Task<void>& task) { return !task.isFinished(); });
    if (!connected_ && !reconnecting) co_return;
    connected_ = false;
    stopping_ = true;
    if (heartbeatTask_) {
        heartbeatTask_->cancel();
        heartbeatTask_.reset();
    }
    // A reconnection waiting or connecting would otherwise open the connection again.
    for (auto& task : std::exchange(reconnections_, {})) task.cancel();
    connection_->cancel();
    messages_.finish();
    logger_.debug("Network transport disconnected");
}

// --- Receiving ---

asio::awaitable<std::string> NetworkTransport::receiveData() {
    std::size_t maximum = std::numeric_limits<std::int64_t>::max();
    if (bufferConfig.maxReceiveBufferSize)
        maximum = static_cast<std::size_t>(std::max<std::int64_t>(1, *bufferConfig.maxReceiveBufferSize));
    platform::OneShot<ReadResult> done;
    connection_->receive(1, maximum, [done](std::optional<std::string> content, bool isComplete,
                                            std::optional<std::error_code> error) {
        done.resume(ReadResult{std::move(content), isComplete, error});
    });
    auto result = co_await done.wait();
    if (result.error)
        throw MCPError::transportError(std::make_exception_ptr(std::system_error(*result.error)));
    if (result.content) co_return std::move(*result.content);
    if (!result.isComplete) co_return std::string();
    logger_.trace("Connection completed by peer");
    throw MCPError::connectionClosed();
}

bool NetworkTransport::consume(std::string& buffer, int& emptyReads) {
    // The buffer always begins at a line start. Heartbeat frames are found there in the byte
    // stream, whatever the reads' boundaries: a frame split across reads waits for its rest, and
    // a message glued behind a frame is kept.
    std::size_t position = 0;
    while (position < buffer.size()) {
        std::string_view rest(buffer.data() + position, buffer.size() - position);
        auto prefix = std::min(rest.size(), magic.size());
        if (rest.substr(0, prefix) == magic.substr(0, prefix)) {
            if (rest.size() < Heartbeat::size) break;
            logger_.trace("Received heartbeat from peer");
            if (auto heartbeat = Heartbeat::from(rest.substr(0, Heartbeat::size)))
                logger_.trace([&] { return "Heartbeat timestamp: " + dateText(heartbeat->timestamp()); });
            position += Heartbeat::size;
            emptyReads = 0;
            continue;
        }
        auto end = rest.find('\n');
        if (end == std::string_view::npos) break;
        auto line = rest.substr(0, end);
        position += end + 1;
        if (line.empty()) continue;
        logger_.debug("Message received", {{"size", std::to_string(line.size())}});
        messages_.yield(std::string(line));
    }
    buffer.erase(0, position);
    return buffer.size() <= maxLineBytes;
}

asio::awaitable<void> NetworkTransport::receiveLoop(std::shared_ptr<NetworkTransport> self) {
    std::string buffer;
    int emptyReads = 0;
    for (;;) {
        if (!self->connected_ || platform::isCancelled() || self->stopping_) break;
        std::exception_ptr failure;
        try {
            auto block = co_await self->receiveData();
            if (block.empty()) {
                ++emptyReads;
                if (emptyReads >= emptyReadWarningCount) {
                    self->logger_.warning([&] {
                        return "Multiple consecutive empty reads (" + std::to_string(emptyReads) +
                               "), possible connection issue";
                    });
                    if (self->connection_->state().kind != State::Kind::ready) {
                        self->logger_.warning("Connection no longer ready, exiting receive loop");
                        // A dead connection must not look alive: handled as a lost one.
                        throw MCPError::connectionClosed();
                    }
                }
                co_await platform::sleepFor(self->timing.emptyReadPause);
                continue;
            }
            emptyReads = 0;
            buffer += block;
            if (!self->consume(buffer, emptyReads)) {
                // A peer that never ends its line would grow the buffer without bound.
                self->logger_.error("Receive error: line exceeds the limit");
                self->connected_ = false;
                self->connection_->cancel();
                self->messages_.finish(std::make_exception_ptr(MCPError::internalError("Message too large")));
                co_return;
            }
        } catch (...) {
            failure = std::current_exception();
        }
        if (!failure) continue;
        if (platform::isCancelled() || self->stopping_) break;
        self->logger_.error([&] { return "Receive error: " + detail::failureText(failure); });
        auto& config = self->reconnectionConfig;
        if (config.enabled && self->reconnectAttempt_ < config.maxAttempts) {
            auto attempt = ++self->reconnectAttempt_;
            self->logger_.warning([&] {
                return "Error during receive, attempting reconnection (" + std::to_string(attempt) + "/" +
                       std::to_string(config.maxAttempts) + ")...";
            });
            self->connected_ = false;
            self->startReconnection(self->backoffWait(attempt));
        } else {
            self->messages_.finish(failure);
        }
        break;
    }
    if (self->stopping_) {
        self->logger_.debug("Receive loop stopping normally");
        self->messages_.finish();
    }
}

// --- Reconnection ---

void NetworkTransport::startReconnection(Clock::duration delay) {
    std::erase_if(reconnections_, [](const platform::Task<void>& task) { return task.isFinished(); });
    reconnections_.push_back(platform::spawnDetached(executor_, reconnect(shared_from_this(), delay)));
}

asio::awaitable<void> NetworkTransport::reconnect(std::shared_ptr<NetworkTransport> self, Clock::duration delay) {
    try {
        co_await platform::sleepFor(delay);
    } catch (...) {
    }
    if (self->stopping_ || platform::isCancelled() || self->connected_) co_return;
    // Another reconnection already under way is joined, not restarted.
    if (!self->connecting_) self->connection_->cancel();
    std::exception_ptr failure;
    try {
        co_await self->connect();
    } catch (...) {
        failure = std::current_exception();
    }
    // Nobody else would end the stream: its reader would wait forever on a dead transport.
    if (failure && !self->stopping_ && !self->connected_ && !platform::isCancelled()) self->messages_.finish(failure);
}

}  // namespace mcp
