#include "mcp/client/client.hpp"

#include "client_harness.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

/// A call made as the application makes them, started without waiting for it.
using Call = std::function<platform::Task<void>(Client&, asio::any_io_executor)>;

template <class F>
Call call(F f) {
    return [f](Client& client, asio::any_io_executor executor) {
        return platform::spawn(executor, [](Client& c, F g) -> asio::awaitable<void> { co_await g(c); }(client, f));
    };
}

struct NamedCall {
    const char* name;
    std::string method;
    Call start;
};

std::vector<NamedCall> checkedCalls() {
    return {
        {"listTools", "tools/list", call([](Client& c) { return c.listTools(); })},
        {"callTool", "tools/call", call([](Client& c) -> asio::awaitable<void> { (void)co_await c.callTool("t"); })},
        {"startToolCall", "tools/call",
         call([](Client& c) -> asio::awaitable<void> { (void)c.startToolCall("t"); co_return; })},
        {"setLoggingLevel", "logging/setLevel", call([](Client& c) { return c.setLoggingLevel(LogLevel::debug); })},
    };
}

/// Runs `call` on a connected client whose server declared `capabilities`; gives the error it
/// threw ("sent <method>" when it sent its request instead).
std::string attempt(const NamedCall& call, Client::Configuration configuration, std::optional<std::string> capabilities) {
    ClientHarness h(configuration);
    if (capabilities) {
        h.startConnect(R"({"protocolVersion":"2025-11-25","capabilities":)" + *capabilities +
                       R"(,"serverInfo":{"name":"s","version":"1"}})");
        h.run([&]() -> asio::awaitable<void> {
            co_await h.connectTask->value();
            (void)co_await h.transport->nextSent();
        });
    } else {
        // Connected, but the handshake never answered.
        h.connectTask = platform::spawn(h.io.get_executor(), h.client->connect(h.transport));
        h.run([&]() -> asio::awaitable<void> { (void)co_await h.transport->nextSent(); });
    }
    auto before = h.transport->sent().size();
    auto task = call.start(*h.client, h.io.get_executor());
    h.settle();
    if (h.transport->sent().size() > before) return "sent " + methodOf(h.transport->sent().back());
    return outcome(task);
}

TEST(ClientStrictModeTest, ChecksOnlyThePresenceOfTheCapabilityEachCallNeeds) {
    const auto strict = Client::Configuration::strict_;
    for (const auto& c : checkedCalls()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(attempt(c, strict, std::nullopt), "Method not found: Server capabilities not initialized");
        EXPECT_EQ(attempt(c, Client::Configuration::default_, std::nullopt), "sent " + c.method);
        EXPECT_EQ(attempt(c, Client::Configuration::default_, "{}"), "sent " + c.method);
        // A present capability passes whatever it holds.
        EXPECT_EQ(attempt(c, strict, R"({"tools":{"listChanged":false},"logging":{}})"), "sent " + c.method);
    }
    EXPECT_EQ(attempt(checkedCalls()[0], strict, R"({"logging":{}})"),
              "Method not found: Tools is not supported by the server");
    EXPECT_EQ(attempt(checkedCalls()[3], strict, R"({"tools":{}})"),
              "Method not found: Logging is not supported by the server");
    // Ping and the roots notification check nothing.
    EXPECT_EQ(attempt({"ping", "ping", call([](Client& c) { return c.ping(); })}, strict, std::nullopt), "sent ping");
    EXPECT_EQ(attempt({"notifyRootsChanged", "", call([](Client& c) { return c.notifyRootsChanged(); })}, strict,
                      std::nullopt),
              "sent notifications/roots/list_changed");
}

TEST(ClientCallsTest, SendsEachCallsParametersAndReturnsTheResultsParts) {
    ClientHarness h;
    h.connect();
    std::optional<Client::ToolOutcome> tool;
    std::optional<Client::Page<Tool>> tools;
    auto sent = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        std::vector<std::string> sent;
        auto call = platform::spawn(h.io.get_executor(), h.client->callTool("sign", std::map<std::string, Value>{{"path", "/a.pdf"}},
                                                                            Metadata{{{"progressToken", 5}}}));
        auto request = co_await h.transport->nextSent();
        sent.push_back(request);
        h.transport->push(resultFor(
            request, R"({"content":[{"type":"text","text":"ok"}],"structuredContent":{"n":1},"isError":false,"_meta":{}})"));
        tool = co_await call.value();

        auto list = platform::spawn(h.io.get_executor(), h.client->listTools("page-2"));
        request = co_await h.transport->nextSent();
        sent.push_back(request);
        h.transport->push(resultFor(
            request, R"({"tools":[{"name":"sign","inputSchema":{"type":"object"}}],"nextCursor":"page-3"})"));
        tools = co_await list.value();

        auto ping = platform::spawn(h.io.get_executor(), h.client->ping());
        request = co_await h.transport->nextSent();
        sent.push_back(request);
        h.transport->push(resultFor(request, "{}"));
        co_await ping.value();

        auto level = platform::spawn(h.io.get_executor(), h.client->setLoggingLevel(LogLevel::warning));
        request = co_await h.transport->nextSent();
        sent.push_back(request);
        h.transport->push(resultFor(request, "{}"));
        co_await level.value();
        co_return sent;
    });
    auto params = [&](std::size_t i) { return platform::json::write(json(sent[i]).at("params")); };
    EXPECT_EQ(methodOf(sent[0]), "tools/call");
    EXPECT_EQ(params(0), R"({"_meta":{"progressToken":5},"name":"sign","arguments":{"path":"\/a.pdf"}})");
    ASSERT_TRUE(tool.has_value());
    ASSERT_EQ(tool->content.size(), 1u);
    EXPECT_EQ(tool->content[0], Tool::Content::text("ok"));
    EXPECT_EQ(tool->isError, false);

    EXPECT_EQ(params(1), R"({"cursor":"page-2"})");
    ASSERT_EQ(tools->items.size(), 1u);
    EXPECT_EQ(tools->items[0].name, "sign");
    EXPECT_EQ(tools->nextCursor, "page-3");

    EXPECT_EQ(methodOf(sent[2]), "ping");
    EXPECT_EQ(params(2), "{}");
    EXPECT_EQ(params(3), R"({"level":"warning"})");
}

TEST(ClientCallsTest, TheNonWaitingToolCallHandsOverTheWholeResult) {
    ClientHarness h;
    h.connect();
    std::optional<RequestContext<CallTool::Result>> context;
    auto request = h.run([&]() -> asio::awaitable<std::string> {
        context = h.client->startToolCall("t");
        co_return co_await h.transport->nextSent();
    });
    EXPECT_EQ(platform::json::write(context->requestID.toJSON()), idOf(request));
    h.transport->push(resultFor(request, R"({"content":[],"structuredContent":{"n":1}})"));
    h.settle();
    auto result = context->requestTask.get();
    EXPECT_EQ(result.structuredContent, Value::object({{"n", 1}}));
}

}  // namespace
}  // namespace mcp::test
