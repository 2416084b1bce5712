#pragma once

#include "mcp/server/server.hpp"

#include "mcp/base/messages.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"
#include "support/scripted_transport.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/json/value.hpp>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace mcp::test {

namespace asio = boost::asio;

/// "test/echo": answers with its parameters, whatever they are.
struct Echo : BasicMethod<Echo> {
    static constexpr std::string_view name = "test/echo";
    using Parameters = Value;
    using Result = Value;
};

/// "notifications/test": a notification carrying any value.
struct Note : BasicNotification<Note> {
    static constexpr std::string_view name = "notifications/test";
    using Parameters = Value;
};

inline boost::json::value json(std::string_view text) {
    return platform::json::parse(text);
}

/// The value as the engine writes it: sorted keys, "/" unescaped.
inline std::string text(const boost::json::value& value) {
    return platform::json::write(value, {.sortedKeys = true, .escapeSlashes = false});
}

/// The text as the engine writes it.
inline std::string canonical(std::string_view text) {
    return test::text(json(text));
}

/// A UUID string id as the engine makes them: 36 characters, upper case.
inline bool isFreshID(const boost::json::value& id) {
    if (!id.is_string()) return false;
    std::string_view text = id.get_string();
    if (text.size() != 36) return false;
    for (char c : text) {
        if (c != '-' && !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

template <class A>
struct AwaitableResult;
template <class T>
struct AwaitableResult<asio::awaitable<T>> {
    using type = T;
};

/// A server over a scripted transport whose logger records everything, on one io_context.
struct ServerHarness {
    asio::io_context io;
    testing_support::CapturingLogHandler logs;
    std::shared_ptr<testing_support::ScriptedTransport> transport =
        std::make_shared<testing_support::ScriptedTransport>();
    std::shared_ptr<Server> server;

    explicit ServerHarness(Server::Configuration configuration = Server::Configuration::default_)
        : server(Server::create("test-server", "1.2.3", "Test Server", "Use it for tests", {}, configuration)) {
        transport->setLogger(logs.logger("mcp.transport.scripted"));
        server->withMethodHandler<Echo>([](Value params) -> asio::awaitable<Value> { co_return params; });
    }

    /// Stops the server, so that its receive loop lets go of it.
    ~ServerHarness() {
        try {
            testing_support::runAsync(io, [this]() -> asio::awaitable<void> { co_await server->stop(); });
            settle();
        } catch (...) {
            // A test that failed midway may leave the runtime unusable; nothing more to do.
        }
    }

    ServerHarness(const ServerHarness&) = delete;
    ServerHarness& operator=(const ServerHarness&) = delete;

    /// Runs `makeCoroutine()` on the harness's io_context until it finishes.
    template <class F>
    auto run(F&& makeCoroutine) {
        return testing_support::runAsync(io, std::forward<F>(makeCoroutine));
    }

    /// Starts the server, then runs `makeCoroutine()`.
    template <class F>
    auto runStarted(F&& makeCoroutine) {
        using T = typename AwaitableResult<std::invoke_result_t<F&>>::type;
        return run([&]() -> asio::awaitable<T> {
            co_await server->start(transport);
            if constexpr (std::is_void_v<T>) {
                co_await makeCoroutine();
            } else {
                T result = co_await makeCoroutine();
                co_return result;
            }
        });
    }

    /// Runs whatever is ready until nothing is: tasks started by the last run finish their turns.
    void settle() {
        io.restart();
        io.poll();
    }

    /// Pushes `chunk` and waits for the next buffer the server sends.
    asio::awaitable<std::string> exchange(std::string chunk) {
        transport->push(std::move(chunk));
        co_return co_await transport->nextSent();
    }

    std::vector<std::string> sent() const { return transport->sent(); }
};

}  // namespace mcp::test
