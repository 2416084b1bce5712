#pragma once

#include "mcp/client/client.hpp"

#include "mcp/base/messages.hpp"
#include "mcp/base/test_methods.hpp"
#include "platform/async/task.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"
#include "support/scripted_transport.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/json/value.hpp>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcp::test {

namespace asio = boost::asio;

/// "test/echo": any parameters, any result.
struct Echo : BasicMethod<Echo> {
    static constexpr std::string_view name = "test/echo";
    using Parameters = Value;
    using Result = Value;
};

/// "test/count": no parameters, a result that must hold an integer "count".
struct Count : BasicMethod<Count> {
    static constexpr std::string_view name = "test/count";
    using Parameters = Empty;
    using Result = Counted;
};

/// "notifications/test": a notification carrying any value.
struct Note : BasicNotification<Note> {
    static constexpr std::string_view name = "notifications/test";
    using Parameters = Value;
};

inline boost::json::value json(std::string_view text) {
    return platform::json::parse(text);
}

/// The "id" of a message the client sent, as JSON text ("\"ABC...\"" or "7").
inline std::string idOf(std::string_view message) {
    return platform::json::write(json(message).at("id"));
}

inline std::string methodOf(std::string_view message) {
    auto parsed = json(message);
    const auto* method = parsed.as_object().if_contains("method");
    return method ? std::string(method->as_string()) : std::string();
}

inline std::string resultFor(std::string_view request, std::string_view result) {
    return R"({"jsonrpc":"2.0","id":)" + idOf(request) + R"(,"result":)" + std::string(result) + "}";
}

inline std::string errorFor(std::string_view request, std::string_view error) {
    return R"({"jsonrpc":"2.0","id":)" + idOf(request) + R"(,"error":)" + std::string(error) + "}";
}

/// What a finished task gave: "ok <result as JSON>" or the error's description; "waiting" while it
/// runs. CancellationError reads "cancelled", TypeMismatchError "type mismatch".
template <class T>
std::string outcome(const platform::Task<T>& task) {
    if (!task.isFinished()) return "waiting";
    try {
        if constexpr (std::is_void_v<T>) {
            task.get();
            return "ok";
        } else {
            auto value = task.get();
            return "ok " + platform::json::write(platform::json::encode(value));
        }
    } catch (const platform::CancellationError&) {
        return "cancelled";
    } catch (const TypeMismatchError&) {
        return "type mismatch";
    } catch (const std::exception& e) {
        return e.what();
    }
}

/// The description of what `f` throws, or "no error".
template <class F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const platform::CancellationError&) {
        return "cancelled";
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

inline const char* kInitializeResult =
    R"({"protocolVersion":"2025-11-25","capabilities":{"tools":{}},"serverInfo":{"name":"srv","version":"1"}})";

/// A client over a scripted transport whose logger records everything, on one io_context.
struct ClientHarness {
    asio::io_context io;
    testing_support::CapturingLogHandler logs;
    std::shared_ptr<testing_support::ScriptedTransport> transport =
        std::make_shared<testing_support::ScriptedTransport>();
    std::shared_ptr<Client> client;

    explicit ClientHarness(Client::Configuration configuration = Client::Configuration::default_,
                           Client::Capabilities capabilities = {})
        : client(Client::create("test-client", "0.9", "Test Client", std::nullopt, std::nullopt, std::nullopt,
                                std::move(capabilities), configuration)) {
        transport->setLogger(logs.logger("mcp.transport.scripted"));
    }

    /// Disconnects the client, so that its receive loop lets go of it.
    ~ClientHarness() {
        try {
            testing_support::runAsync(io, [this]() -> asio::awaitable<void> { co_await client->disconnect(); });
            settle();
        } catch (...) {
            // A test that failed midway may leave the runtime unusable; nothing more to do.
        }
    }

    ClientHarness(const ClientHarness&) = delete;
    ClientHarness& operator=(const ClientHarness&) = delete;

    template <class F>
    auto run(F&& makeCoroutine) {
        return testing_support::runAsync(io, std::forward<F>(makeCoroutine));
    }

    /// Runs the io_context until `done()` holds; false when it does not within the run limit.
    template <class F>
    bool runUntil(F done) {
        const auto deadline = std::chrono::steady_clock::now() + testing_support::kRunAsyncLimit;
        io.restart();
        while (!done()) {
            if (io.run_one_until(deadline) == 0 && std::chrono::steady_clock::now() >= deadline) return false;
            io.restart();
        }
        return true;
    }

    /// Runs whatever is ready until nothing is.
    void settle() {
        io.restart();
        io.poll();
    }

    /// Pushes `chunk` and waits for the next buffer the client sends.
    asio::awaitable<std::string> exchange(std::string chunk) {
        transport->push(std::move(chunk));
        co_return co_await transport->nextSent();
    }

    /// Connects over `transport`, answering "initialize" with `result` (or the error object
    /// `error`); returns the request the client sent. The handshake's outcome is `connectTask`.
    std::string startConnect(std::string result = kInitializeResult, std::optional<std::string> error = std::nullopt) {
        connectTask = platform::spawn(io.get_executor(), client->connect(transport));
        auto request = run([&]() -> asio::awaitable<std::string> { co_return co_await transport->nextSent(); });
        transport->push(error ? errorFor(request, *error) : resultFor(request, result));
        settle();
        return request;
    }

    /// Connects and completes the handshake; clears what it sent and logged.
    void connect() {
        startConnect();
        run([&]() -> asio::awaitable<void> { co_await connectTask->value(); });
        run([&]() -> asio::awaitable<void> { (void)co_await transport->nextSent(); });  // notifications/initialized
        sentBefore = transport->sent().size();
        logs.clear();
    }

    /// What the client sent since `connect`.
    std::vector<std::string> sent() const {
        const auto& all = transport->sent();
        return {all.begin() + static_cast<std::ptrdiff_t>(sentBefore), all.end()};
    }

    /// Sends `request` through the client and returns its task and the text that went out.
    template <Method M>
    std::pair<platform::Task<typename M::Result>, std::string> request(Request<M> request) {
        std::optional<platform::Task<typename M::Result>> task;
        auto text = run([&]() -> asio::awaitable<std::string> {
            task = client->send(std::move(request)).requestTask;
            co_return co_await transport->nextSent();
        });
        return {*task, text};
    }

    std::optional<platform::Task<Initialize::Result>> connectTask;
    std::size_t sentBefore = 0;
};

}  // namespace mcp::test
