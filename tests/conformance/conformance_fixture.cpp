#include "conformance/conformance_fixture.hpp"

#include "mcp/base/progress_notification.hpp"
#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/set_logging_level.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace conformance {

namespace asio = boost::asio;
using namespace mcp;
using namespace std::chrono_literals;

namespace {

// A WAV file without samples: the smallest that a client can decode.
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

/// An object schema of string properties, all required.
Value stringArguments(std::initializer_list<std::pair<std::string, std::string>> properties) {
    Value::Object members;
    Value::Array required;
    for (const auto& [name, description] : properties) {
        members.insert_or_assign(name, Value::object({{"type", "string"}, {"description", description}}));
        required.emplace_back(name);
    }
    return Value::object({{"type", "object"}, {"properties", Value(std::move(members))}, {"required", Value(std::move(required))}});
}

/// The text argument `name` of a call, or an invalid-params error.
std::string textArgument(const CallTool::Parameters& params, const std::string& name) {
    if (params.arguments) {
        if (auto found = params.arguments->find(name); found != params.arguments->end()) {
            if (auto text = found->second.stringValue()) return std::string(*text);
        }
    }
    throw MCPError::invalidParams("Missing text argument: " + name);
}

/// The texts of the content's text blocks, one after another.
std::string sampledText(const Sampling::Message::Content& content) {
    std::string text;
    for (const auto& block : content.asArray()) {
        if (const auto* piece = std::get_if<content::Text>(&block.value)) text += piece->text;
    }
    return text;
}

CallTool::Result refusal(std::string text) {
    return CallTool::Result{{Tool::Content::text(std::move(text))}, std::nullopt, true};
}

std::string outcomeText(const CreateElicitation::Result& result) {
    auto content = result.content ? platform::json::write(platform::json::encode(*result.content)) : "{}";
    return "action=" + std::string(rawValue(result.action)) + ", content=" + content;
}

/// Waits, a little and bounded, until the session's GET stream has opened. Requests to the client
/// travel on that stream only, and the suite's client sometimes opens it only after calling the
/// tool: a request sent before would wait in the event store for a resumption that never comes.
asio::awaitable<void> awaitEventStream(const std::shared_ptr<Server>& server) {
    auto transport = std::dynamic_pointer_cast<StatefulHTTPServerTransport>(server->connection());
    if (!transport) co_return;
    auto opened = [&transport] {
        for (const auto& event : transport->storedEvents()) {
            if (event.streamID() == StatefulHTTPServerTransport::standaloneStreamID) return true;
        }
        return false;
    };
    for (int attempt = 0; attempt < 100 && !opened(); ++attempt) co_await platform::sleepFor(20ms);
}

/// Asks the client to fill in `schema`, when it said it can.
asio::awaitable<CallTool::Result> elicit(std::shared_ptr<Server> server, std::string message,
                                         Elicitation::RequestSchema schema, std::string prefix) {
    const auto& capabilities = server->clientCapabilities();
    if (!capabilities || !capabilities->elicitation) co_return refusal("The client does not support elicitation");
    co_await awaitEventStream(server);
    auto result = co_await server->requestElicitation(std::move(message), std::move(schema));
    co_return CallTool::Result{{Tool::Content::text(prefix + outcomeText(result))}};
}

Elicitation::RequestSchema schemaOf(std::string_view json) {
    return Elicitation::RequestSchema::fromJSON(platform::json::parse(json));
}

asio::awaitable<void> logInfo(std::shared_ptr<Server> server, std::string message) {
    Value data(std::move(message));
    co_await server->log(LogLevel::info, std::nullopt, std::move(data));
}

asio::awaitable<void> progress(std::shared_ptr<Server> server, ProgressToken token, double done) {
    ProgressNotification::Parameters report{std::move(token), done, 100.0};
    Message<ProgressNotification> message(std::string(ProgressNotification::name), std::move(report));
    co_await server->notify(std::move(message));
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
             co_return CallTool::Result{{Tool::Content::image(std::string(kFixturePNG), "image/png")}};
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
                                         Tool::Content::image(std::string(kFixturePNG), "image/png"),
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
        {Tool("test_sampling", std::nullopt, "Asks the client's model to answer a prompt",
              stringArguments({{"prompt", "The prompt to send to the LLM"}})),
         [](std::shared_ptr<Server> server, CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
             auto prompt = textArgument(params, "prompt");
             const auto& capabilities = server->clientCapabilities();
             if (!capabilities || !capabilities->sampling) co_return refusal("The client does not support sampling");
             co_await awaitEventStream(server);
             std::vector<Sampling::Message> messages{Sampling::Message::user(std::move(prompt))};
             auto result = co_await server->requestSampling(std::move(messages), std::nullopt, std::nullopt,
                                                            std::nullopt, std::nullopt, 100);
             co_return CallTool::Result{{text("LLM response: " + sampledText(result.content))}};
         }},
        {Tool("test_elicitation", std::nullopt, "Asks the user for a name and an email address",
              stringArguments({{"message", "The message to show the user"}})),
         [](std::shared_ptr<Server> server, CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
             auto message = textArgument(params, "message");
             auto result = co_await elicit(server, std::move(message), schemaOf(R"({
                 "type": "object",
                 "properties": {"username": {"type": "string", "description": "User's response"},
                                "email": {"type": "string", "description": "User's email address"}},
                 "required": ["username", "email"]})"),
                 "User response: ");
             co_return result;
         }},
        {Tool("test_elicitation_sep1034_defaults", std::nullopt, "Asks for values that all have defaults",
              noArguments()),
         [](std::shared_ptr<Server> server, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             auto result = co_await elicit(server, "Please review and update the form fields with defaults",
                                           schemaOf(R"({
                 "type": "object",
                 "properties": {
                     "name": {"type": "string", "description": "User name", "default": "John Doe"},
                     "age": {"type": "integer", "description": "User age", "default": 30},
                     "score": {"type": "number", "description": "User score", "default": 95.5},
                     "status": {"type": "string", "description": "User status",
                                "enum": ["active", "inactive", "pending"], "default": "active"},
                     "verified": {"type": "boolean", "description": "Verification status", "default": true}}})"),
                                           "Elicitation completed: ");
             co_return result;
         }},
        {Tool("test_elicitation_sep1330_enums", std::nullopt, "Asks for a choice in every enumeration form",
              noArguments()),
         [](std::shared_ptr<Server> server, CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
             auto result = co_await elicit(server, "Please select options from the enum fields", schemaOf(R"({
                 "type": "object",
                 "properties": {
                     "untitledSingle": {"type": "string", "description": "Choose an option",
                                        "enum": ["option1", "option2", "option3"]},
                     "titledSingle": {"type": "string", "description": "Choose a titled option",
                                      "oneOf": [{"const": "value1", "title": "First Option"},
                                                {"const": "value2", "title": "Second Option"},
                                                {"const": "value3", "title": "Third Option"}]},
                     "legacyEnum": {"type": "string", "description": "Choose a legacy option",
                                    "enum": ["opt1", "opt2", "opt3"],
                                    "enumNames": ["Option One", "Option Two", "Option Three"]},
                     "untitledMulti": {"type": "array", "description": "Choose several options",
                                       "items": {"type": "string", "enum": ["option1", "option2", "option3"]}},
                     "titledMulti": {"type": "array", "description": "Choose several titled options",
                                     "items": {"anyOf": [{"const": "value1", "title": "First Choice"},
                                                         {"const": "value2", "title": "Second Choice"},
                                                         {"const": "value3", "title": "Third Choice"}]}}}})"),
                                           "Elicitation completed: ");
             co_return result;
         }},
    };
    return tools;
}

}  // namespace

std::shared_ptr<Server> makeConformanceServer() {
    Server::Capabilities capabilities;
    capabilities.tools = Server::Capabilities::Tools{false};
    capabilities.logging = Server::Capabilities::Logging{};
    capabilities.completions = Server::Capabilities::Completions{};
    capabilities.prompts = Server::Capabilities::Prompts{false};
    capabilities.resources = Server::Capabilities::Resources{true, false};
    auto server = Server::create("inkwarden-conformance-fixture", "1.0.0", std::nullopt, std::nullopt, capabilities);
    registerConformanceTools(*server);
    registerConformanceFeatures(*server);
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
