#include "host/mcp_host.hpp"

#include <array>
#include <vector>

#include <boost/asio/buffer.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

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
      slotFreed_(runtime, asio::steady_timer::time_point::max()) {}

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
    co_await closeListener();
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
    if (error) {
        // A failed listener is kept until the next start, as a listener that reported failure.
        co_await report(HostStatus::ListenerState::failed, port, error.message());
        co_return;
    }
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
        boost::system::error_code error;
        auto socket = std::make_shared<Socket>(co_await acceptor->async_accept(asio::redirect_error(asio::use_awaitable, error)));
        if (error) {
            if (error == asio::error::operation_aborted || !acceptor->is_open()) break;
            // Out of descriptors or a connection reset before it was taken: try again shortly.
            asio::steady_timer pause(self->runtime_, std::chrono::milliseconds(50));
            co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, error));
            continue;
        }
        ++self->active_;
        platform::spawnDetached(self->runtime_, serve(self, std::move(socket)));
    }
}

void MCPHost::connectionEnded() {
    --active_;
    slotFreed_.cancel();
}

asio::awaitable<void> MCPHost::serve(std::shared_ptr<MCPHost> self, std::shared_ptr<Socket> socket) {
    struct Ending {
        MCPHost& host;
        ~Ending() { host.connectionEnded(); }
    } ending{*self};
    try {
        auto request = co_await self->readRequest(socket);
        if (request) {
            // The token in force once the request has been read.
            auto response = co_await self->handler_(std::move(*request), self->token_);
            co_await self->write(socket, response);
        }
    } catch (...) {
        // A failed connection is closed; the others go on.
    }
    boost::system::error_code ignored;
    socket->shutdown(tcp::socket::shutdown_both, ignored);
    socket->close(ignored);
}

asio::awaitable<std::optional<mcp::HTTPRequest>> MCPHost::readRequest(std::shared_ptr<Socket> socket) {
    HostRequestReader reader(options_.limits);
    std::vector<char> chunk(options_.readSize);
    asio::steady_timer idle(runtime_);
    for (;;) {
        armIdleClose(idle, options_.idleTimeout, socket);
        boost::system::error_code error;
        auto got = co_await socket->async_read_some(asio::buffer(chunk), asio::redirect_error(asio::use_awaitable, error));
        idle.cancel();
        if (error || got == 0) co_return std::nullopt;
        switch (reader.feed(std::string_view(chunk.data(), got))) {
            case HostRequestReader::Status::needMore: continue;
            case HostRequestReader::Status::refused: co_return std::nullopt;
            case HostRequestReader::Status::complete: co_return reader.take();
        }
    }
}

asio::awaitable<void> MCPHost::write(std::shared_ptr<Socket> socket, const mcp::HTTPResponse& response) {
    auto head = responseHead(response, launchID());
    std::array<asio::const_buffer, 2> buffers{asio::buffer(head), asio::const_buffer()};
    if (const auto& body = response.bodyData()) buffers[1] = asio::buffer(*body);
    asio::steady_timer idle(runtime_);
    armIdleClose(idle, options_.idleTimeout, socket);
    boost::system::error_code ignored;
    co_await asio::async_write(*socket, buffers, asio::redirect_error(asio::use_awaitable, ignored));
    idle.cancel();
}

}  // namespace inkwarden
