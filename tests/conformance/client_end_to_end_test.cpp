// The library's client engine on the HTTP client transport, against the library's own server
// transports over real HTTP on 127.0.0.1.
#include "conformance/conformance_sessions.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/conformance_http_listener.hpp"
#include "support/run_async.hpp"

#include "mcp/base/transports/http_client_transport.hpp"
#include "mcp/client/client.hpp"
#include "mcp/server/log_message_notification.hpp"
#include "mcp/server/tool.hpp"

#include <boost/asio/io_context.hpp>
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

namespace conformance {
namespace {

namespace asio = boost::asio;
using namespace mcp;
using testing_support::runAsync;

std::string textOf(const Client::ToolOutcome& outcome) {
    std::string text;
    for (const auto& content : outcome.content) {
        if (auto* part = std::get_if<Tool::Content::Text>(&content.value)) text += part->text;
    }
    return text;
}

struct Served {
    asio::io_context io;
    ConformanceSessions sessions;
    testing_support::ConformanceHTTPListener listener;
    testing_support::CapturingLogHandler log;

    explicit Served(ConformanceSessions::Mode mode)
        : sessions(mode),
          listener(io.get_executor(), [this](HTTPRequest request) { return sessions.handle(std::move(request)); }) {
        listener.start();
    }

    std::shared_ptr<HTTPClientTransport> transport(bool streaming) {
        HTTPClientTransport::Options options;
        options.streaming = streaming;
        options.sseInitializationTimeout = 5;
        options.logger = log.logger();
        return HTTPClientTransport::create(
            io.get_executor(), boost::urls::url("http://127.0.0.1:" + std::to_string(listener.port()) + "/mcp"), options);
    }

    asio::awaitable<void> stop() {
        listener.stop();
        co_await sessions.stopAll();
    }
};

TEST(ClientEndToEndTest, TalksToTheStatefulServerTransport) {
    Served served(ConformanceSessions::Mode::stateful);
    auto transport = served.transport(true);
    auto client = Client::create("end-to-end", "1.0");
    Client::Capabilities capabilities;
    capabilities.elicitation = Client::Capabilities::Elicitation{};
    client->setCapabilities(capabilities);
    std::vector<std::string> elicited;
    client->withElicitationHandler([&](CreateElicitation::Parameters parameters) -> asio::awaitable<CreateElicitation::Result> {
        elicited.push_back(std::get<CreateElicitation::Parameters::FormParameters>(parameters.value).message);
        CreateElicitation::Result result{CreateElicitation::Result::Action::decline};
        co_return result;
    });
    int logMessages = 0;
    client->onNotification<LogMessageNotification>([&](Message<LogMessageNotification>) -> asio::awaitable<void> {
        ++logMessages;
        co_return;
    });
    // What the transport logged tells where a hang was.
    try {
        runAsync(served.io, [&]() -> asio::awaitable<void> {
            auto initialized = co_await client->connect(transport);
            EXPECT_TRUE(transport->sessionID().has_value());
            // Every request after the handshake carries the version the server chose.
            EXPECT_EQ(transport->protocolVersion(), initialized.protocolVersion);
            auto tools = co_await client->listTools();
            EXPECT_FALSE(tools.items.empty());
            EXPECT_EQ(textOf(co_await client->callTool("test_simple_text")), "This is a simple text response for testing.");
            // A request from the server during a call, on the server's own stream, answered by a POST of its own.
            auto declined = co_await client->callTool("test_elicitation_sep1034_defaults");
            EXPECT_EQ(elicited.size(), 1u);
            EXPECT_EQ(declined.isError.value_or(false), false);
            // Notifications on the server's own stream, open since the request before.
            auto logged = co_await client->callTool("test_tool_with_logging");
            EXPECT_EQ(textOf(logged), "Tool with logging executed successfully");
            EXPECT_EQ(logMessages, 3);
            // The server closes the call's stream; the answer comes over the resumed event stream.
            auto resumed = co_await client->callTool("test_reconnection");
            EXPECT_EQ(textOf(resumed), "Reconnection test completed");
            co_await client->disconnect();
            co_await served.stop();
        }, std::chrono::seconds(10));
    } catch (...) {
        std::cerr << served.log.dump();
        throw;
    }
    EXPECT_GE(served.log.countOf(logging::Level::info, "→ Resuming SSE stream with Last-Event-ID"), 1u) << served.log.dump();
}

TEST(ClientEndToEndTest, TalksToTheStatelessServerTransport) {
    Served served(ConformanceSessions::Mode::stateless);
    auto transport = served.transport(false);
    auto client = Client::create("end-to-end", "1.0");
    runAsync(served.io, [&]() -> asio::awaitable<void> {
        co_await client->connect(transport);
        EXPECT_FALSE(transport->sessionID().has_value());
        auto tools = co_await client->listTools();
        EXPECT_FALSE(tools.items.empty());
        auto outcome = co_await client->callTool("test_error_handling");
        EXPECT_EQ(outcome.isError, true);
        co_await client->disconnect();
        co_await served.stop();
    });
}

}  // namespace
}  // namespace conformance
