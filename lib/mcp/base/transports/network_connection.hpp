#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>

namespace mcp {

/// A connection's state as the network transport follows it. `waiting` and `failed` carry the
/// error behind them.
struct NetworkConnectionState {
    enum class Kind { setup, preparing, waiting, ready, failed, cancelled };

    Kind kind = Kind::setup;
    std::error_code error;

    bool operator==(const NetworkConnectionState&) const = default;
};

/// The byte connection under a NetworkTransport: started, read, written and cancelled through
/// completion handlers that run on the connection's executor. Confined to that executor's thread.
class NetworkConnection {
public:
    using State = NetworkConnectionState;
    using StateHandler = std::function<void(State)>;
    using SendCompletion = std::function<void(std::optional<std::error_code>)>;
    /// Content (absent when none arrived), whether the peer has finished sending, and an error.
    using ReceiveCompletion = std::function<void(std::optional<std::string>, bool, std::optional<std::error_code>)>;

    virtual ~NetworkConnection() = default;

    virtual State state() const = 0;
    /// Called with every state change once started; an empty handler stops the reports.
    virtual void setStateUpdateHandler(StateHandler handler) = 0;
    /// Begins connecting. Also after `cancel`: every start opens afresh and ends in `ready`,
    /// `failed` or `cancelled`.
    virtual void start() = 0;
    /// Queues `content` whole, after what is already queued; `completion` runs once it has been
    /// written or has failed.
    virtual void send(std::string content, SendCompletion completion) = 0;
    /// Asks for at least `minimum` and at most `maximum` bytes.
    virtual void receive(std::size_t minimum, std::size_t maximum, ReceiveCompletion completion) = 0;
    /// Closes the connection; pending operations complete with an error.
    virtual void cancel() = 0;
};

/// A NetworkConnection over TCP, with TLS when given a context. Each start resolves the host and
/// opens a fresh socket, so a cancelled connection can be started again; writes go out one after
/// another, never interleaved.
class TcpNetworkConnection final : public NetworkConnection,
                                   public std::enable_shared_from_this<TcpNetworkConnection> {
public:
    /// With `tls`, the handshake checks the peer's certificate against `host`.
    static std::shared_ptr<TcpNetworkConnection> create(boost::asio::any_io_executor executor, std::string host,
                                                        std::uint16_t port,
                                                        std::shared_ptr<boost::asio::ssl::context> tls = nullptr);

    State state() const override { return state_; }
    void setStateUpdateHandler(StateHandler handler) override { stateHandler_ = std::move(handler); }
    void start() override;
    void send(std::string content, SendCompletion completion) override;
    void receive(std::size_t minimum, std::size_t maximum, ReceiveCompletion completion) override;
    void cancel() override;

    /// The size of one read buffer; a read never asks the socket for more.
    static constexpr std::size_t readChunkSize = 64 * 1024;

private:
    TcpNetworkConnection(boost::asio::any_io_executor executor, std::string host, std::uint16_t port,
                         std::shared_ptr<boost::asio::ssl::context> tls);

    struct Socket;
    struct PendingWrite {
        std::string bytes;
        SendCompletion completion;
    };

    void report(State state);
    void fail(std::uint64_t generation, std::error_code error);
    void writeNext(std::shared_ptr<Socket> socket);

    boost::asio::any_io_executor executor_;
    std::string host_;
    std::uint16_t port_;
    std::shared_ptr<boost::asio::ssl::context> tls_;
    State state_;
    StateHandler stateHandler_;
    // Bumped by every start and cancel: completions of an older socket report nothing.
    std::uint64_t generation_ = 0;
    std::shared_ptr<Socket> socket_;
};

}  // namespace mcp
