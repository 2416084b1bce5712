#include "mcp/server/server.hpp"

#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

// A server set up as the application sets up its own: the tools capability, two tool handlers.
std::vector<Tool> catalog() {
    Tool sign("sign_document", std::nullopt, "Signs a PDF at /inbox",
              Value::object({{"type", "object"},
                             {"properties", Value::object({{"path", Value::object({{"type", "string"}})}})},
                             {"required", Value::array({"path"})}}));
    sign.annotations.readOnlyHint = false;
    sign.annotations.openWorldHint = false;
    return {sign, Tool("get_profile", std::nullopt, std::nullopt, Value::object({{"type", "object"}}))};
}

asio::awaitable<ListTools::Result> listTools(ListTools::Parameters) {
    co_return ListTools::Result{catalog()};
}

asio::awaitable<CallTool::Result> callTool(CallTool::Parameters parameters) {
    auto arguments = parameters.arguments.value_or(std::map<std::string, Value>{});
    if (parameters.name != "sign_document") {
        co_return CallTool::Result({Tool::Content::text("Unknown tool: " + parameters.name)}, std::nullopt, true);
    }
    auto path = arguments.count("path") ? arguments.at("path").stringValue() : std::nullopt;
    if (!path) throw std::invalid_argument("path is missing");
    co_return CallTool::Result({Tool::Content::text(R"({"files":[")" + std::string(*path) + R"(.signed.pdf"]})"),
                                Tool::Content::image("iVBORw0KGgo=", "image/png")},
                               std::nullopt, false);
}

TEST(ServerEndToEndTest, ListsAndCallsToolsWithExactlyTheseBytes) {
    ServerHarness h;
    ServerCapabilities capabilities;
    capabilities.tools = ServerCapabilities::Tools{true};
    h.server->setCapabilities(capabilities);
    h.server->withMethodHandler<ListTools>(listTools).withMethodHandler<CallTool>(callTool);
    std::vector<std::string> clientInfo;
    Server::InitializeHook hook = [&clientInfo](ClientInfo info, ClientCapabilities) -> asio::awaitable<void> {
        clientInfo.push_back(info.name);
        co_return;
    };

    const std::vector<std::string> requests = {
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"desk","version":"1"}}})",
        R"({"jsonrpc":"2.0","id":"list-1","method":"tools/list"})",
        R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"sign_document","arguments":{"path":"/inbox/a.pdf"}}})",
        R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"erase_disk"}})",
        R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":{"name":"sign_document","arguments":{}}})",
    };
    auto replies = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await h.server->start(h.transport, hook);
        std::vector<std::string> replies;
        auto handshake = co_await h.exchange(requests[0]);
        replies.push_back(handshake);
        h.transport->push(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
        for (std::size_t i = 1; i < requests.size(); ++i) {
            auto reply = co_await h.exchange(requests[i]);
            replies.push_back(reply);
        }
        co_return replies;
    });
    const std::vector<std::string> expected = {
        R"({"id":0,"jsonrpc":"2.0","result":{"capabilities":{"tools":{"listChanged":true}},"instructions":"Use it for tests",)"
        R"("protocolVersion":"2025-06-18","serverInfo":{"name":"test-server","title":"Test Server","version":"1.2.3"}}})",
        R"({"id":"list-1","jsonrpc":"2.0","result":{"tools":[{"annotations":{"openWorldHint":false,"readOnlyHint":false},)"
        R"("description":"Signs a PDF at /inbox","inputSchema":{"properties":{"path":{"type":"string"}},"required":["path"],)"
        R"("type":"object"},"name":"sign_document"},{"description":null,"inputSchema":{"type":"object"},"name":"get_profile"}]}})",
        R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"{\"files\":[\"/inbox/a.pdf.signed.pdf\"]}","type":"text"},)"
        R"({"data":"iVBORw0KGgo=","mimeType":"image/png","type":"image"}],"isError":false}})",
        R"({"id":3,"jsonrpc":"2.0","result":{"content":[{"text":"Unknown tool: erase_disk","type":"text"}],"isError":true}})",
        R"({"error":{"code":-32603,"data":{"detail":"path is missing"},"message":"Internal error: path is missing"},"id":4,"jsonrpc":"2.0"})",
    };
    ASSERT_EQ(replies.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(replies[i], expected[i]) << "reply " << i;
    EXPECT_EQ(clientInfo, std::vector<std::string>{"desk"});
    EXPECT_EQ(h.sent().size(), expected.size());
}

}  // namespace
}  // namespace mcp::test
