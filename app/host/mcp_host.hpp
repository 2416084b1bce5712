#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "host/host_request_reader.hpp"
#include "host/host_status.hpp"
#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "platform/file_access.hpp"
#include "platform/main_thread.hpp"

namespace inkwarden {

/// The application's only network service: a listener on 127.0.0.1 that reads one HTTP request
/// per connection, has it answered, writes the answer with "Connection: close" and closes.
///
/// Owned by std::shared_ptr (made by `create`) and confined to its runtime thread: call `start`
/// and `stop` from coroutines running there. Connections are served concurrently, each in a task
/// of its own; at most `maxConnections` at once (the rest wait in the listen queue), and one that
/// sends nothing for `idleTimeout` while its request is incomplete, or does not take the whole
/// answer within as long, is closed. `HostStatus` is changed on the main thread only.
class MCPHost : public std::enable_shared_from_this<MCPHost> {
public:
    /// Answers one request read from a connection, given the token in force. Never throws.
    using Handler = std::function<boost::asio::awaitable<mcp::HTTPResponse>(mcp::HTTPRequest request, std::string token)>;

    struct Options {
        std::chrono::milliseconds idleTimeout = std::chrono::seconds(60);
        std::size_t maxConnections = 256;
        /// The size of one read from a connection.
        std::size_t readSize = 65536;
        HostRequestReader::Limits limits = {};
    };

    static std::shared_ptr<MCPHost> create(boost::asio::any_io_executor runtime, MainThread& mainThread,
                                           HostStatus& status, Handler handler, Options options);
    static std::shared_ptr<MCPHost> create(boost::asio::any_io_executor runtime, MainThread& mainThread,
                                           HostStatus& status, Handler handler);

    MCPHost(const MCPHost&) = delete;
    MCPHost& operator=(const MCPHost&) = delete;
    ~MCPHost();

    /// (Re)starts the listener with the port and token stored now: the old listener closes (its
    /// accepted connections go on) and reports itself cancelled; the new one reports ready, or
    /// failed ("Port N: <description>") when it cannot listen. A stored port that is no TCP port
    /// is reported without the prefix. Returns once the status has been applied.
    boost::asio::awaitable<void> start();

    /// Closes the listener (connections in progress go on) and reports it cancelled.
    boost::asio::awaitable<void> stop();

    /// The port the current listener is bound to; none without one.
    std::optional<std::uint16_t> port() const;

    /// The number of connections being served now.
    std::size_t activeConnections() const noexcept { return active_; }

    /// A random upper-case UUID, fixed for the life of the process: clients see a restart of
    /// the application by its change.
    static const std::string& launchID();

    /// The application's version ("1.0" when none is compiled in).
    static std::string appVersion();

private:
    MCPHost(boost::asio::any_io_executor runtime, MainThread& mainThread, HostStatus& status, Handler handler,
            Options options);

    using Acceptor = boost::asio::ip::tcp::acceptor;
    using Socket = boost::asio::ip::tcp::socket;

    boost::asio::awaitable<void> closeListener();
    boost::asio::awaitable<void> report(HostStatus::ListenerState state, long long port, std::string description);
    static boost::asio::awaitable<void> acceptLoop(std::shared_ptr<MCPHost> self, std::shared_ptr<Acceptor> acceptor,
                                                   long long port);
    static boost::asio::awaitable<void> serve(std::shared_ptr<MCPHost> self, Descriptor connection);
    /// The request `connection` sends; nothing when it is refused or ends first. `socket` takes the
    /// descriptor over if the request has to be waited for.
    boost::asio::awaitable<std::optional<mcp::HTTPRequest>> readRequest(Descriptor& connection,
                                                                       std::shared_ptr<Socket>& socket);
    /// Answers `request` on the connection, through `socket` once it exists.
    boost::asio::awaitable<void> answer(mcp::HTTPRequest request, Descriptor& connection,
                                        std::shared_ptr<Socket>& socket);

    /// What reading the bytes a connection holds now came to.
    enum class ReadOutcome { complete, refused, ended, wouldBlock };
    ReadOutcome readAvailable(int fd, HostRequestReader& reader);

    // A connection becomes an Asio socket only when it has to wait: a bare descriptor costs no
    // reactor registration, and no idle timer is armed while nothing is awaited.
    std::shared_ptr<Socket> adopt(Descriptor& connection);
    boost::asio::awaitable<std::optional<mcp::HTTPRequest>> awaitRequest(std::shared_ptr<Socket> socket,
                                                                         HostRequestReader reader);
    /// Writes the rest of the answer from `written` on; `head` and `body` live in the caller's frame.
    boost::asio::awaitable<void> awaitWritten(std::shared_ptr<Socket> socket, std::string_view head,
                                              std::string_view body, std::size_t written);
    void connectionEnded();

    boost::asio::any_io_executor runtime_;
    MainThread& mainThread_;
    HostStatus& status_;
    Handler handler_;
    Options options_;
    std::shared_ptr<Acceptor> acceptor_;
    long long port_ = 0;
    std::string token_;
    std::size_t active_ = 0;
    unsigned long startGeneration_ = 0;
    boost::asio::steady_timer slotFreed_;
    /// Every read lands here first: reads never overlap on the one runtime thread.
    std::unique_ptr<char[]> readBuffer_;
};

}  // namespace inkwarden
