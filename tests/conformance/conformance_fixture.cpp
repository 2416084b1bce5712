#include "conformance/conformance_fixture.hpp"

#include "mcp/base/progress_notification.hpp"
#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/set_logging_level.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/parse.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace conformance {

namespace asio = boost::asio;
using namespace mcp;
using namespace std::chrono_literals;

namespace {

// A 1x1 PNG and a WAV file without samples: the smallest of each that a client can decode.
constexpr std::string_view kPNG =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==";
constexpr std::string_view kWAV = "UklGRiQAAABXQVZFZm10IBAAAAABAAEAQB8AAEAfAAABAAgAZGF0YQAAAAA=";

using ToolBody = std::function<asio::awaitable<CallTool::Result>(std::shared_ptr<Server>, CallTool::Parameters)>;

struct FixtureTool {
    Tool description;
    ToolBody body;
};

Value noArguments() {
    return Value::object({{"type", Value("object")}, {"properties", Value::object({})}});
}

Tool::Content text(std::string value) {
    return Tool::Content::text(std::move(value));
}

Tool::Content embedded(std::string uri, std::string mimeType, std::string value) {
    return Tool::Content::Resource{Resource::Content::text_(std::move(value), std::move(uri), std::move(mimeType))};
}

asio::awaitable<void> logInfo(std::shared_ptr<Server> server, std::string message) {
    co_await server->log(LogLevel::info, std::nullopt, Value(std::move(message)));
}

asio::awaitable<void> progress(std::shared_ptr<Server> server, ProgressToken token, double done) {
    co_await server->notify(Message<ProgressNotification>(std::string(ProgressNotification::name),
                                                          ProgressNotification::Parameters{std::move(token), done, 100.0}));
}

/// Every tool the scenarios call, in the order tools/list gives them.
const std::vector<FixtureTool>& fixtureTools() {
    static const std::vector<FixtureTool> tools{
        {Tool("test_simple_text", std::nullopt, "Returns a simple text", noArguments()),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{{text("This is a simple text response for testing.")}};
         }},
        {Tool("test_image_content", std::nullopt, "Returns an image", noArguments()),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{{Tool::Content::image(std::string(kPNG), "image/png")}};
         }},
        {Tool("test_audio_content", std::nullopt, "Returns a sound", noArguments()),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{{Tool::Content::audio(std::string(kWAV), "audio/wav")}};
         }},
        {Tool("test_embedded_resource", std::nullopt, "Returns an embedded resource", noArguments()),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{
                 {embedded("test://embedded-resource", "text/plain", "This is an embedded resource content.")}};
         }},
        {Tool("test_multiple_content_types", std::nullopt, "Returns text, an image and a resource", noArguments()),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{{text("Multiple content types test:"),
                                         Tool::Content::image(std::string(kPNG), "image/png"),
                                         embedded("test://mixed-content-resource", "application/json",
                                                  R"({"test":"data","value":123})")}};
         }},
        {Tool("test_tool_with_logging", std::nullopt, "Logs while it runs", noArguments()),
         [](std::shared_ptr<Server> server, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_await logInfo(server, "Tool execution started");
             co_await platform::sleepFor(50ms);
             co_await logInfo(server, "Tool processing data");
             co_await platform::sleepFor(50ms);
             co_await logInfo(server, "Tool execution completed");
             co_return CallTool::Result{{text("Tool with logging executed successfully")}};
         }},
        {Tool("test_error_handling", std::nullopt, "Always fails", noArguments()),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{{text("This tool intentionally returns an error for testing")}, std::nullopt, true};
         }},
        {Tool("test_tool_with_progress", std::nullopt, "Reports its progress", noArguments()),
         [](std::shared_ptr<Server> server, CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
             std::optional<ProgressToken> token;
             if (params.meta) token = params.meta->progressToken();
             for (double done : {0.0, 50.0, 100.0}) {
                 if (token) co_await progress(server, *token, done);
                 if (done < 100.0) co_await platform::sleepFor(50ms);
             }
             co_return CallTool::Result{{text("Tool with progress executed successfully")}};
         }},
        {Tool("test_reconnection", std::nullopt, "Closes its event stream mid-call; the answer comes on resumption",
              noArguments()),
         [](std::shared_ptr<Server> server, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             auto context = Server::currentHandlerContext();
             auto transport = std::dynamic_pointer_cast<StatefulHTTPServerTransport>(server->connection());
             if (context && transport) transport->closeSSEStream(context->id().description());
             co_await platform::sleepFor(100ms);
             co_return CallTool::Result{{text("Reconnection test completed")}};
         }},
        {Tool("json_schema_2020_12_tool", std::nullopt, "Tool with JSON Schema 2020-12 features",
              Value::fromJSON(platform::json::parse(R"({
                  "$schema": "https://json-schema.org/draft/2020-12/schema",
                  "type": "object",
                  "$defs": {"address": {"type": "object",
                                        "properties": {"street": {"type": "string"}, "city": {"type": "string"}}}},
                  "properties": {"name": {"type": "string"}, "address": {"$ref": "#/$defs/address"}},
                  "additionalProperties": false
              })"))),
         [](std::shared_ptr<Server>, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             co_return CallTool::Result{{text("Schema tool called")}};
         }},
    };
    return tools;
}

}  // namespace

std::shared_ptr<Server> makeConformanceServer() {
    Server::Capabilities capabilities;
    capabilities.tools = Server::Capabilities::Tools{false};
    capabilities.logging = Server::Capabilities::Logging{};
    auto server = Server::create("inkwarden-conformance-fixture", "1.0.0", std::nullopt, std::nullopt, capabilities);
    registerConformanceTools(*server);
    server->withMethodHandler<SetLoggingLevel>([](SetLoggingLevel::Parameters) -> asio::awaitable<Empty> {
        co_return Empty{};
    });
    return server;
}

void registerConformanceTools(Server& server) {
    server.withMethodHandler<ListTools>([](ListTools::Parameters) -> asio::awaitable<ListTools::Result> {
        std::vector<Tool> tools;
        for (const auto& tool : fixtureTools()) tools.push_back(tool.description);
        co_return ListTools::Result{std::move(tools), std::nullopt, std::nullopt};
    });
    server.withMethodHandler<CallTool>(
        [weak = server.weak_from_this()](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
            auto server = weak.lock();
            if (!server) throw MCPError::internalError("Server stopped");
            for (const auto& tool : fixtureTools()) {
                if (tool.description.name == params.name) {
                    auto result = co_await tool.body(server, std::move(params));
                    co_return result;
                }
            }
            throw MCPError::invalidParams("Unknown tool: " + params.name);
        });
}

}  // namespace conformance
