#pragma once

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/use_future.hpp>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_http_server.hpp"

namespace testing_support {

/// A loopback HTTP server on a runtime thread of its own that answers every request with the
/// reply its script gives, or never answers at all. The runtime's executor also serves the
/// clients under test.
class ScriptedHttpServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
        /// Keep the connection open without a byte until the server stops.
        bool stall = false;

        static Reply stalling() { return {200, {}, true}; }
    };
    using Script = std::function<Reply(const RecordedRequest& request)>;

private:
    // Runs `fn` on the runtime thread and gives its value (bounded wait).
    template <class F>
    auto onRuntime(F fn) {
        auto result = boost::asio::co_spawn(
            io_, [fn]() -> boost::asio::awaitable<decltype(fn())> { co_return fn(); }, boost::asio::use_future);
        if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            throw std::runtime_error("the scripted server hangs");
        }
        return result.get();
    }

public:

    /// With `certificate`, the server speaks TLS.
    explicit ScriptedHttpServer(Script script, std::optional<TestCertificate> certificate = std::nullopt)
        : script_(std::move(script)) {
        server_ = std::make_unique<LoopbackHttpServer>(
            io_.get_executor(), [this](std::shared_ptr<LoopbackHttpServer::Exchange> exchange) -> boost::asio::awaitable<void> {
                auto reply = script_(exchange->request());
                if (reply.stall) {
                    boost::asio::steady_timer timer(co_await boost::asio::this_coro::executor, std::chrono::hours(1));
                    auto [error] = co_await timer.async_wait(boost::asio::as_tuple(boost::asio::use_awaitable));
                    (void)error;
                    co_return;
                }
                co_await exchange->respond(reply.status, {}, std::move(reply.body));
            },
            std::move(certificate));
        thread_ = std::thread([this] { io_.run(); });
    }

    ~ScriptedHttpServer() {
        onRuntime([this] {
            server_->stop();
            server_.reset();
            return 0;
        });
        work_.reset();
        io_.stop();
        thread_.join();
    }

    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    boost::asio::any_io_executor executor() { return io_.get_executor(); }
    std::string url(const std::string& path) const { return server_->url(path); }

    std::vector<RecordedRequest> requests() {
        return onRuntime([this] { return server_->requests(); });
    }

private:
    Script script_;
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_ = boost::asio::make_work_guard(io_);
    std::unique_ptr<LoopbackHttpServer> server_;
    std::thread thread_;
};

}  // namespace testing_support
