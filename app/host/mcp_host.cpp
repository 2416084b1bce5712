#include "host/mcp_host.hpp"

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/system/system_error.hpp>

#include "host/host_response_text.hpp"
#include "platform/async/task.hpp"
#include "platform/build_info.hpp"
#include "platform/uuid.hpp"
#include "shell/app_settings.hpp"

namespace inkwarden {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

/// Closes `socket` when the timer expires before it is cancelled.
void armIdleClose(asio::steady_timer& timer, std::chrono::milliseconds timeout, const std::shared_ptr<tcp::socket>& socket) {
    timer.expires_after(timeout);
    timer.async_wait([weak = std::weak_ptr<tcp::socket>(socket)](boost::system::error_code error) {
        if (error) return;
        if (auto socket = weak.lock()) {
            boost::system::error_code ignored;
            socket->close(ignored);
        }
    });
}

/// Sends what the connection takes now of `head` then `body`, from `offset` on; gives the new
/// offset, or none when the connection failed.
std::optional<std::size_t> sendAvailable(int fd, std::string_view head, std::string_view body, std::size_t offset) {
    const auto total = head.size() + body.size();
    while (offset < total) {
        std::array<iovec, 2> parts{};
        std::size_t count = 0;
        if (offset < head.size()) parts[count++] = {const_cast<char*>(head.data() + offset), head.size() - offset};
        const auto bodyOffset = offset > head.size() ? offset - head.size() : 0;
        if (bodyOffset < body.size())
            parts[count++] = {const_cast<char*>(body.data() + bodyOffset), body.size() - bodyOffset};
        msghdr message{};
        message.msg_iov = parts.data();
        message.msg_iovlen = count;
        // No SIGPIPE from a peer that has gone. MSG_MORE holds a short last piece back until the
        // close that follows the answer, which sends it in one segment with the end of the stream.
        const auto sent = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_MORE);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return offset;
            return std::nullopt;
        }
        offset += static_cast<std::size_t>(sent);
    }
    return offset;
}

}  // namespace

std::shared_ptr<MCPHost> MCPHost::create(asio::any_io_executor runtime, MainThread& mainThread, HostStatus& status,
                                         Handler handler, Options options) {
    return std::shared_ptr<MCPHost>(new MCPHost(std::move(runtime), mainThread, status, std::move(handler), options));
}

std::shared_ptr<MCPHost> MCPHost::create(asio::any_io_executor runtime, MainThread& mainThread, HostStatus& status,
                                         Handler handler) {
    return create(std::move(runtime), mainThread, status, std::move(handler), Options{});
}

MCPHost::MCPHost(asio::any_io_executor runtime, MainThread& mainThread, HostStatus& status, Handler handler,
                 Options options)
    : runtime_(runtime),
      mainThread_(mainThread),
      status_(status),
      handler_(std::move(handler)),
      options_(options),
      slotFreed_(runtime, asio::steady_timer::time_point::max()),
      readBuffer_(std::make_unique<char[]>(options_.readSize)) {}

MCPHost::~MCPHost() = default;

const std::string& MCPHost::launchID() {
    static const std::string id = platform::makeUUIDString();
    return id;
}

std::string MCPHost::appVersion() {
    auto version = bundleVersion();
    return version.empty() ? "1.0" : std::string(version);
}

std::optional<std::uint16_t> MCPHost::port() const {
    if (!acceptor_ || !acceptor_->is_open()) return std::nullopt;
    boost::system::error_code error;
    auto endpoint = acceptor_->local_endpoint(error);
    if (error) return std::nullopt;
    return endpoint.port();
}

asio::awaitable<void> MCPHost::report(HostStatus::ListenerState state, long long port, std::string description) {
    auto& status = status_;
    auto update = mainThread_.call([&status, state, port, description] { status.update(state, port, description); });
    co_await std::move(update);
}

asio::awaitable<void> MCPHost::closeListener() {
    auto acceptor = std::exchange(acceptor_, nullptr);
    if (!acceptor) co_return;
    boost::system::error_code ignored;
    acceptor->close(ignored);
    slotFreed_.cancel();  // a loop waiting for a free slot sees its listener closed
    co_await report(HostStatus::ListenerState::cancelled, port_, {});
}

asio::awaitable<void> MCPHost::start() {
    // A later start overtaking this one at a suspension wins; this one then stops.
    const auto generation = ++startGeneration_;
    co_await closeListener();
    if (generation != startGeneration_) co_return;
    auto port = AppSettings::port();
    auto token = AppSettings::token();
    token_ = token;
    port_ = port;
    if (port < 1 || port > 65535) {
        auto& status = status_;
        auto problem = "The port " + std::to_string(port) + " is no valid TCP port.";
        auto update = mainThread_.call([&status, problem] { status.setProblem(problem); });
        co_await std::move(update);
        co_return;
    }
    auto acceptor = std::make_shared<Acceptor>(runtime_);
    boost::system::error_code error;
    acceptor->open(tcp::v4(), error);
    if (error) {
        auto& status = status_;
        auto problem = error.message();
        auto update = mainThread_.call([&status, problem] { status.setProblem(problem); });
        co_await std::move(update);
        co_return;
    }
    acceptor->set_option(asio::socket_base::reuse_address(true), error);
    if (!error) acceptor->bind(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), static_cast<std::uint16_t>(port)), error);
    if (!error) acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (!error) acceptor->non_blocking(true, error);
    if (error) {
        // A failed listener is kept until the next start, as a listener that reported failure.
        co_await report(HostStatus::ListenerState::failed, port, error.message());
        co_return;
    }
    if (generation != startGeneration_) co_return;
    acceptor_ = acceptor;
    co_await report(HostStatus::ListenerState::ready, port, {});
    if (acceptor_ == acceptor) platform::spawnDetached(runtime_, acceptLoop(shared_from_this(), acceptor, port));
}

asio::awaitable<void> MCPHost::stop() {
    co_await closeListener();
}

asio::awaitable<void> MCPHost::acceptLoop(std::shared_ptr<MCPHost> self, std::shared_ptr<Acceptor> acceptor, long long) {
    while (acceptor->is_open()) {
        if (self->active_ >= self->options_.maxConnections) {
            // Leave the rest in the listen queue until a connection ends.
            boost::system::error_code ignored;
            self->slotFreed_.expires_at(asio::steady_timer::time_point::max());
            co_await self->slotFreed_.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            continue;
        }
        // Take from the queue before waiting: the reactor reports the listener only on a new
        // connection, and accept4 hands the descriptor over non-blocking in one call.
        const int fd = ::accept4(acceptor->native_handle(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        const int failure = errno;
        if (fd >= 0) {
            ++self->active_;
            platform::spawnDetached(self->runtime_, serve(self, Descriptor(fd)));
            continue;
        }
        // A connection reset before it was taken: take the next.
        if (failure == EINTR || failure == ECONNABORTED || failure == EPROTO) continue;
        boost::system::error_code error;
        if (failure == EAGAIN || failure == EWOULDBLOCK) {
            co_await acceptor->async_wait(Acceptor::wait_read, asio::redirect_error(asio::use_awaitable, error));
            if (!error) continue;
        }
        if (error == asio::error::operation_aborted || !acceptor->is_open()) break;
        // Out of descriptors: try again shortly.
        asio::steady_timer pause(self->runtime_, std::chrono::milliseconds(50));
        co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, error));
    }
}

void MCPHost::connectionEnded() {
    --active_;
    slotFreed_.cancel();
}

asio::awaitable<void> MCPHost::serve(std::shared_ptr<MCPHost> self, Descriptor connection) {
    struct Ending {
        MCPHost& host;
        ~Ending() { host.connectionEnded(); }
    } ending{*self};
    std::shared_ptr<Socket> socket;  // takes the descriptor over once made
    try {
        // Reading and answering are coroutines of their own, so that no frame holds both.
        auto request = co_await self->readRequest(connection, socket);
        if (request) co_await self->answer(std::move(*request), connection, socket);
    } catch (...) {
        // A failed connection is closed; the others go on.
    }
    // Closing sends the end of the stream; a separate shutdown would only cost a system call.
    if (socket) {
        boost::system::error_code ignored;
        socket->close(ignored);
    } else {
        ::close(connection.release());
    }
}

asio::awaitable<std::optional<mcp::HTTPRequest>> MCPHost::readRequest(Descriptor& connection,
                                                                      std::shared_ptr<Socket>& socket) {
    // A loopback client has mostly sent its request by the time it is accepted.
    HostRequestReader reader(options_.limits);
    switch (readAvailable(connection.get(), reader)) {
        case ReadOutcome::complete: co_return reader.take();
        case ReadOutcome::wouldBlock: socket = adopt(connection); break;
        case ReadOutcome::refused:
        case ReadOutcome::ended: co_return std::nullopt;
    }
    co_return co_await awaitRequest(socket, std::move(reader));
}

asio::awaitable<void> MCPHost::answer(mcp::HTTPRequest request, Descriptor& connection, std::shared_ptr<Socket>& socket) {
    // The token in force once the request has been read.
    auto response = co_await handler_(std::move(request), token_);
    const auto head = responseHead(response, launchID());
    const auto& bodyData = response.bodyData();
    const std::string_view body = bodyData ? std::string_view(*bodyData) : std::string_view();
    const int fd = socket ? socket->native_handle() : connection.get();
    auto written = sendAvailable(fd, head, body, 0);
    if (written && *written < head.size() + body.size()) {
        if (!socket) socket = adopt(connection);
        co_await awaitWritten(socket, head, body, *written);
    }
}

MCPHost::ReadOutcome MCPHost::readAvailable(int fd, HostRequestReader& reader) {
    for (;;) {
        const auto got = ::recv(fd, readBuffer_.get(), options_.readSize, 0);
        if (got > 0) {
            switch (reader.feed(std::string_view(readBuffer_.get(), static_cast<std::size_t>(got)))) {
                case HostRequestReader::Status::needMore: continue;
                case HostRequestReader::Status::complete: return ReadOutcome::complete;
                case HostRequestReader::Status::refused: return ReadOutcome::refused;
            }
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadOutcome::wouldBlock;
        return ReadOutcome::ended;
    }
}

std::shared_ptr<MCPHost::Socket> MCPHost::adopt(Descriptor& connection) {
    auto socket = std::make_shared<Socket>(runtime_);
    boost::system::error_code error;
    socket->assign(tcp::v4(), connection.get(), error);
    if (error) throw boost::system::system_error(error);
    connection.release();
    return socket;
}

asio::awaitable<std::optional<mcp::HTTPRequest>> MCPHost::awaitRequest(std::shared_ptr<Socket> socket,
                                                                       HostRequestReader reader) {
    asio::steady_timer idle(runtime_);
    for (;;) {
        armIdleClose(idle, options_.idleTimeout, socket);
        boost::system::error_code error;
        co_await socket->async_wait(Socket::wait_read, asio::redirect_error(asio::use_awaitable, error));
        idle.cancel();
        // Closed by the idle timer, the descriptor reads as -1 and fails.
        if (error) co_return std::nullopt;
        switch (readAvailable(socket->native_handle(), reader)) {
            case ReadOutcome::wouldBlock: continue;
            case ReadOutcome::complete: co_return reader.take();
            case ReadOutcome::refused:
            case ReadOutcome::ended: co_return std::nullopt;
        }
    }
}

asio::awaitable<void> MCPHost::awaitWritten(std::shared_ptr<Socket> socket, std::string_view head, std::string_view body,
                                            std::size_t written) {
    // One limit for the whole rest of the answer, as for a reader that never takes it.
    asio::steady_timer idle(runtime_);
    armIdleClose(idle, options_.idleTimeout, socket);
    while (written < head.size() + body.size()) {
        boost::system::error_code error;
        co_await socket->async_wait(Socket::wait_write, asio::redirect_error(asio::use_awaitable, error));
        if (error) break;
        auto sent = sendAvailable(socket->native_handle(), head, body, written);
        if (!sent) break;
        written = *sent;
    }
    idle.cancel();
}

}  // namespace inkwarden
