#include "mcp/client/client.hpp"

#include "client_harness.hpp"

#include <gtest/gtest.h>

#include <boost/json/array.hpp>

#include <functional>
#include <map>
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
        {"getPrompt", "prompts/get", call([](Client& c) -> asio::awaitable<void> { (void)co_await c.getPrompt("p"); })},
        {"listPrompts", "prompts/list", call([](Client& c) -> asio::awaitable<void> { (void)co_await c.listPrompts(); })},
        {"readResource", "resources/read",
         call([](Client& c) -> asio::awaitable<void> { (void)co_await c.readResource("file:///a"); })},
        {"listResources", "resources/list",
         call([](Client& c) -> asio::awaitable<void> { (void)co_await c.listResources(); })},
        {"listResourceTemplates", "resources/templates/list",
         call([](Client& c) -> asio::awaitable<void> { (void)co_await c.listResourceTemplates(); })},
        {"subscribeToResource", "resources/subscribe",
         call([](Client& c) { return c.subscribeToResource("file:///a"); })},
        {"completePrompt", "completion/complete",
         call([](Client& c) -> asio::awaitable<void> { (void)co_await c.completePrompt("p", "a", "v"); })},
        {"completeResource", "completion/complete",
         call([](Client& c) -> asio::awaitable<void> { (void)co_await c.completeResource("file:///{x}", "x", "v"); })},
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
    // Each call's capability, and the name its refusal gives.
    const std::map<std::string, std::pair<std::string, std::string>> needs = {
        {"getPrompt", {"prompts", "Prompts"}},
        {"listPrompts", {"prompts", "Prompts"}},
        {"readResource", {"resources", "Resources"}},
        {"listResources", {"resources", "Resources"}},
        {"listResourceTemplates", {"resources", "Resources"}},
        {"subscribeToResource", {"resources", "Resource subscription"}},
        {"completePrompt", {"completions", "Completions"}},
        {"completeResource", {"completions", "Completions"}},
        {"listTools", {"tools", "Tools"}},
        {"callTool", {"tools", "Tools"}},
        {"startToolCall", {"tools", "Tools"}},
        {"setLoggingLevel", {"logging", "Logging"}},
    };
    const std::string everything =
        R"({"prompts":{},"resources":{"subscribe":false},"completions":{},"tools":{"listChanged":false},"logging":{}})";
    for (const auto& c : checkedCalls()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(attempt(c, strict, std::nullopt), "Method not found: Server capabilities not initialized");
        EXPECT_EQ(attempt(c, Client::Configuration::default_, std::nullopt), "sent " + c.method);
        EXPECT_EQ(attempt(c, Client::Configuration::default_, "{}"), "sent " + c.method);
        // A present capability passes whatever it holds, a subscription declared false included.
        EXPECT_EQ(attempt(c, strict, everything), "sent " + c.method);
        // Everything but the capability this call needs.
        auto [member, display] = needs.at(c.name);
        auto others = json(everything).as_object();
        others.erase(member);
        EXPECT_EQ(attempt(c, strict, platform::json::write(others)),
                  "Method not found: " + display + " is not supported by the server");
    }
    // Resources without subscriptions: reading passes, subscribing does not.
    const auto& calls = checkedCalls();
    EXPECT_EQ(attempt(calls[2], strict, R"({"resources":{}})"), "sent resources/read");
    EXPECT_EQ(attempt(calls[5], strict, R"({"resources":{"listChanged":true}})"),
              "Method not found: Resource subscription is not supported by the server");
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

std::map<std::string, std::string> textMap(std::string key, std::string value) {
    return {{std::move(key), std::move(value)}};
}

template <class T>
std::string written(const std::vector<T>& items) {
    boost::json::array array;
    for (const auto& item : items) array.push_back(item.toJSON());
    return platform::json::write(array, {.escapeSlashes = false});
}

template <class T>
std::string written(const Client::Page<T>& page) {
    return written(page.items) + " next " + page.nextCursor.value_or("none");
}

TEST(ClientCallsTest, PromptResourceAndCompletionCallsSendTheirParametersAndReturnTheirParts) {
    struct Case {
        const char* name;
        std::function<asio::awaitable<std::string>(Client&)> call;
        std::string params;
        std::string result;
        std::string returned;
    };
    const Case cases[] = {
        {"getPrompt",
         [](Client& c) -> asio::awaitable<std::string> {
             auto arguments = textMap("who", "Ann");
             auto got = co_await c.getPrompt("greet", std::move(arguments));
             co_return got.description.value_or("none") + " " + written(got.messages);
         },
         R"({"name":"greet","arguments":{"who":"Ann"}})",
         R"({"description":"Greets","messages":[{"role":"user","content":{"type":"text","text":"Hi Ann"}}],"_meta":{"x":1}})",
         R"(Greets [{"role":"user","content":{"type":"text","text":"Hi Ann"}}])"},
        {"listPrompts",
         [](Client& c) -> asio::awaitable<std::string> { co_return written(co_await c.listPrompts("c1")); },
         R"({"cursor":"c1"})", R"({"prompts":[{"name":"greet"}],"nextCursor":"c2"})", R"([{"name":"greet"}] next c2)"},
        {"readResource",
         [](Client& c) -> asio::awaitable<std::string> { co_return written(co_await c.readResource("file:///a.txt")); },
         R"({"uri":"file:///a.txt"})", R"({"contents":[{"uri":"file:///a.txt","text":"hello"}]})",
         R"([{"uri":"file:///a.txt","text":"hello"}])"},
        {"listResources",
         [](Client& c) -> asio::awaitable<std::string> { co_return written(co_await c.listResources()); }, "{}",
         R"({"resources":[{"uri":"file:///a.txt","name":"a"}]})", R"([{"name":"a","uri":"file:///a.txt"}] next none)"},
        {"listResourceTemplates",
         [](Client& c) -> asio::awaitable<std::string> { co_return written(co_await c.listResourceTemplates()); }, "{}",
         R"({"resourceTemplates":[{"uriTemplate":"file:///{name}","name":"files"}],"nextCursor":"t2"})",
         R"([{"uriTemplate":"file:///{name}","name":"files"}] next t2)"},
        {"subscribeToResource",
         [](Client& c) -> asio::awaitable<std::string> {
             co_await c.subscribeToResource("file:///a.txt");
             co_return "done";
         },
         R"({"uri":"file:///a.txt"})", "{}", "done"},
        {"completePrompt",
         [](Client& c) -> asio::awaitable<std::string> {
             auto got = co_await c.completePrompt("greet", "who", "A");
             co_return platform::json::write(got.toJSON());
         },
         R"({"ref":{"type":"ref/prompt","name":"greet"},"argument":{"name":"who","value":"A"}})",
         R"({"completion":{"values":["Ann","Al"],"total":2,"hasMore":false}})",
         R"({"values":["Ann","Al"],"total":2,"hasMore":false})"},
        {"completeResource",
         [](Client& c) -> asio::awaitable<std::string> {
             auto context = textMap("dir", "docs");
             auto got = co_await c.completeResource("file:///{dir}/{name}", "name", "re", std::move(context));
             co_return platform::json::write(got.toJSON());
         },
         R"({"ref":{"type":"ref/resource","uri":"file:///{dir}/{name}"},"argument":{"name":"name","value":"re"},)"
         R"("context":{"arguments":{"dir":"docs"}}})",
         R"({"completion":{"values":["report.pdf"]}})", R"({"values":["report.pdf"]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientHarness h;
        h.connect();
        auto returned = h.run([&]() -> asio::awaitable<std::string> {
            auto task = platform::spawn(h.io.get_executor(), c.call(*h.client));
            auto request = co_await h.transport->nextSent();
            EXPECT_EQ(json(request).at("params"), json(c.params)) << request;
            h.transport->push(resultFor(request, c.result));
            co_return co_await task.value();
        });
        EXPECT_EQ(returned, c.returned);
    }
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
