#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>

#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "host/host_exchange.hpp"
#include "host/host_status.hpp"
#include "host/mcp_host.hpp"
#include "host/tools.hpp"
#include "shell/app_settings.hpp"
#include "signature/signature_store.hpp"
#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"

namespace inkwarden::testing {

namespace asio = boost::asio;

/// A loopback port nothing listens on at the moment of the call.
inline std::uint16_t freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(fd);
    return ntohs(address.sin_port);
}

inline void storeSettings(const std::string& json) {
    auto path = AppSettings::file().path();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << json;
}

/// A blocking loopback client whose every wait is bounded.
class RawClient {
public:
    explicit RawClient(std::uint16_t port, std::chrono::seconds limit = std::chrono::seconds(20)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval timeout{static_cast<time_t>(limit.count()), 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot connect");
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    /// Writes all of `bytes`; false when the host closed the connection first.
    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            auto written = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (written <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    void finishSending() { ::shutdown(fd_, SHUT_WR); }

    /// Keeps the receive window small, so that a large answer fills the host's send buffer.
    void limitReceiveBuffer(int bytes) { ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes); }

    /// Everything until the host closes; throws when the bound passes first.
    std::string receiveAll() {
        std::string received;
        char buffer[65536];
        for (;;) {
            auto got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got == 0) return received;
            if (got < 0) {
                if (errno == ECONNRESET) return received;
                throw std::runtime_error("the host did not close the connection in time");
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
    }

private:
    int fd_ = -1;
};

/// The real host on a loopback port with its runtime thread and a test main thread, the settings
/// and folders in a sandbox. `handler` answers requests; by default the real exchange does.
class HostHarness {
    // First made, last gone: everything below may post to them.
    testing_support::AppFoldersSandbox sandbox_;
    asio::io_context runtime_;
    asio::executor_work_guard<asio::io_context::executor_type> work_{asio::make_work_guard(runtime_)};
    std::uint16_t port_ = freePort();

public:
    explicit HostHarness(MCPHost::Options options = {}, MCPHost::Handler handler = nullptr)
        : runtimeThread_([this] { runtime_.run(); }) {
        storeSettings(R"({"port":)" + std::to_string(port_) + R"(,"token":"secret"})");
        if (!handler) {
            handler = [this](mcp::HTTPRequest request, std::string token) {
                return exchange.handle(std::move(request), std::move(token));
            };
        }
        host = MCPHost::create(runtime_.get_executor(), main, status, std::move(handler), options);
    }

    /// Runs a coroutine on the runtime thread and waits (bounded) for it.
    template <class F>
    auto run(F makeCoroutine) {
        auto future = asio::co_spawn(runtime_, makeCoroutine(), asio::use_future);
        if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
            throw std::runtime_error("the runtime did not finish in time");
        return future.get();
    }

    ~HostHarness() {
        run([this]() -> asio::awaitable<void> { co_await host->stop(); });
        work_.reset();
        runtime_.stop();
        runtimeThread_.join();
    }

    void start() {
        run([this]() -> asio::awaitable<void> { co_await host->start(); });
    }

    /// Sends `bytes` on a fresh connection and gives everything answered before the close.
    std::string exchangeRaw(std::string_view bytes) {
        RawClient client(port_);
        client.send(bytes);
        return client.receiveAll();
    }

    std::uint16_t port() const noexcept { return port_; }

    testing_support::TestMainThread main;
    testing_support::ManualScheduler scheduler;
    HostStatus status;
    SignatureStore signatures{scheduler};
    Tools tools{main, status, signatures};
    HostExchange exchange{main, status, tools};
    std::shared_ptr<MCPHost> host;

private:
    std::thread runtimeThread_;
};

/// The body of an HTTP answer (what follows the empty line); the whole text when it has none.
inline std::string bodyOf(const std::string& answer) {
    auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? answer : answer.substr(end + 4);
}

/// One tools/call as an AI client named "Claude" posts it with the access token "secret".
inline std::string toolCall(std::uint16_t port, const std::string& name, const std::string& arguments) {
    const auto body = R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":")" + name +
                      R"(","arguments":)" + arguments + "}}";
    return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAuthorization: Bearer secret\r\nX-Inkwarden-Client: Claude"
           "\r\nAccept: application/json, text/event-stream\r\nContent-Type: application/json"
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace inkwarden::testing
