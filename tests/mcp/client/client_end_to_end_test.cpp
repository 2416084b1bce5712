#include "mcp/client/client.hpp"

#include "client_harness.hpp"
#include "mcp/base/transports/in_memory_transport.hpp"
#include "mcp/base/transports/stdio_transport.hpp"
#include "mcp/server/complete.hpp"
#include "mcp/server/log_message_notification.hpp"
#include "mcp/server/prompt_methods.hpp"
#include "mcp/server/resource_methods.hpp"
#include "mcp/server/server.hpp"
#include "mcp/server/set_logging_level.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace mcp::test {
namespace {

/// What the server side of these tests saw.
struct ServerRecord {
    std::vector<LogLevel> levels;
    std::size_t rootsChanged = 0;
    std::vector<std::string> subscribed;
    std::optional<platform::OneShot<void>> slowToolStarted;
};

/// A server as a program built on the library sets one up: tools and logging, and a tool that
/// waits until cancelled.
std::shared_ptr<Server> makeServer(std::shared_ptr<ServerRecord> record) {
    ServerCapabilities capabilities;
    capabilities.tools = ServerCapabilities::Tools{};
    capabilities.logging = ServerCapabilities::Logging{};
    capabilities.prompts = ServerCapabilities::Prompts{};
    capabilities.resources = ServerCapabilities::Resources{true, false};
    capabilities.completions = ServerCapabilities::Completions{};
    auto server = Server::create("desk-server", "2.0", std::nullopt, "Sign with care", capabilities);
    server->withMethodHandler<ListPrompts>([](CursorParameters) -> asio::awaitable<ListPrompts::Result> {
        co_return ListPrompts::Result::fromJSON(json(R"({"prompts":[{"name":"sign-request","description":"Asks"}]})"));
    });
    server->withMethodHandler<GetPrompt>([](GetPrompt::Parameters parameters) -> asio::awaitable<GetPrompt::Result> {
        auto who = parameters.arguments.value_or(std::map<std::string, std::string>{})["who"];
        GetPrompt::Result result = GetPrompt::Result::fromJSON(json(R"({"messages":[]})"));
        result.description = "For " + who;
        co_return result;
    });
    server->withMethodHandler<ListResources>([](CursorParameters) -> asio::awaitable<ListResources::Result> {
        co_return ListResources::Result::fromJSON(json(R"({"resources":[{"uri":"inkwarden://profile","name":"profile"}]})"));
    });
    server->withMethodHandler<ListResourceTemplates>([](CursorParameters) -> asio::awaitable<ListResourceTemplates::Result> {
        co_return ListResourceTemplates::Result::fromJSON(
            json(R"({"resourceTemplates":[{"uriTemplate":"inkwarden://signed/{name}","name":"signed"}]})"));
    });
    server->withMethodHandler<ReadResource>([](ResourceParameters parameters) -> asio::awaitable<ReadResource::Result> {
        auto result = ReadResource::Result::fromJSON(json(R"({"contents":[{"uri":"","text":"ACME Ltd"}]})"));
        result.contents[0].uri = parameters.uri;
        co_return result;
    });
    server->withMethodHandler<ResourceSubscribe>([record](ResourceParameters parameters) -> asio::awaitable<Empty> {
        record->subscribed.push_back(parameters.uri);
        co_return Empty{};
    });
    server->withMethodHandler<Complete>([](Complete::Parameters parameters) -> asio::awaitable<Complete::Result> {
        auto result = Complete::Result::fromJSON(json(R"({"completion":{"values":[]}})"));
        result.completion.values.push_back(parameters.argument.value + "nn");
        co_return result;
    });
    server->withMethodHandler<ListTools>([](ListTools::Parameters parameters) -> asio::awaitable<ListTools::Result> {
        ListTools::Result result{{Tool("sign", std::nullopt, "Signs", Value::object({{"type", "object"}})),
                                  Tool("slow", std::nullopt, std::nullopt, Value::object({{"type", "object"}}))}};
        if (!parameters.cursor) result.nextCursor = "2";
        co_return result;
    });
    server->withMethodHandler<CallTool>([record](CallTool::Parameters parameters) -> asio::awaitable<CallTool::Result> {
        if (parameters.name == "slow") {
            if (record->slowToolStarted) record->slowToolStarted->resume();
            co_await platform::sleepFor(std::chrono::hours(1));
        }
        if (parameters.name != "sign") throw MCPError::invalidParams("Unknown tool: " + parameters.name);
        const auto& path = parameters.arguments.value().at("path");
        co_return CallTool::Result({Tool::Content::text("signed " + std::string(*path.stringValue()))}, Value::object({{"ok", true}}),
                                   false);
    });
    server->withMethodHandler<SetLoggingLevel>([record](SetLoggingLevel::Parameters parameters) -> asio::awaitable<Empty> {
        record->levels.push_back(parameters.level);
        co_return Empty{};
    });
    server->onNotification<RootsListChangedNotification>(
        [record](Message<RootsListChangedNotification>) -> asio::awaitable<void> {
            ++record->rootsChanged;
            co_return;
        });
    return server;
}

std::vector<Sampling::Message> samplingMessages() {
    return {Sampling::Message::fromJSON(json(R"({"role":"user","content":{"type":"text","text":"Summarise"}})"))};
}

std::map<std::string, std::string> whoIs(std::string name) {
    return {{"who", std::move(name)}};
}

std::map<std::string, Value> signArguments(std::string path) {
    return {{"path", Value(std::move(path))}};
}

std::shared_ptr<Client> makeClient(std::vector<Value>* logged) {
    Client::Capabilities capabilities;
    capabilities.roots = Client::Capabilities::Roots{true};
    auto client = Client::create("desk-client", "1.0", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                 capabilities, Client::Configuration::strict_);
    client->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> {
        co_return std::vector<Root>{Root{"file:///home/me/Documents", "Documents"}};
    });
    client->withSamplingHandler(
        [](CreateSamplingMessage::Parameters parameters) -> asio::awaitable<CreateSamplingMessage::Result> {
            auto result = CreateSamplingMessage::Result::fromJSON(
                json(R"({"model":"local","role":"assistant","content":{"type":"text","text":""}})"));
            result.model += "-" + std::to_string(parameters.maxTokens);
            co_return result;
        });
    client->withElicitationHandler(
        [](CreateElicitation::Parameters parameters) -> asio::awaitable<CreateElicitation::Result> {
            bool byURL = std::holds_alternative<CreateElicitation::Parameters::URLParameters>(parameters.value);
            co_return CreateElicitation::Result{byURL ? CreateElicitation::Result::Action::decline
                                                      : CreateElicitation::Result::Action::accept};
        });
    client->onNotification<LogMessageNotification>([logged](Message<LogMessageNotification> message) -> asio::awaitable<void> {
        logged->push_back(message.params.data);
        co_return;
    });
    return client;
}

/// The calls a client makes of a server and the server's of its client, over any connected pair.
asio::awaitable<void> talk(std::shared_ptr<Client> client, std::shared_ptr<Server> server,
                           std::shared_ptr<ServerRecord> record, const std::vector<Value>& logged) {
    co_await client->ping();

    auto page = co_await client->listTools();
    EXPECT_EQ(page.items.size(), 2u);
    EXPECT_EQ(page.nextCursor, "2");
    auto second = co_await client->listTools("2");
    EXPECT_FALSE(second.nextCursor.has_value());

    auto outcome = co_await client->callTool("sign", signArguments("/inbox/a.pdf"));
    EXPECT_EQ(outcome.content.at(0), Tool::Content::text("signed /inbox/a.pdf"));
    EXPECT_EQ(outcome.isError, false);

    std::string error;
    try {
        (void)co_await client->callTool("erase");
    } catch (const MCPError& e) {
        error = e.errorDescription();
    }
    EXPECT_EQ(error, "Invalid params: Unknown tool: erase");

    auto prompts = co_await client->listPrompts();
    EXPECT_EQ(prompts.items.at(0).name, "sign-request");
    auto prompt = co_await client->getPrompt("sign-request", whoIs("Ann"));
    EXPECT_EQ(prompt.description, "For Ann");
    auto resources = co_await client->listResources();
    EXPECT_EQ(resources.items.at(0).uri, "inkwarden://profile");
    auto templates = co_await client->listResourceTemplates();
    EXPECT_EQ(templates.items.at(0).uriTemplate, "inkwarden://signed/{name}");
    auto contents = co_await client->readResource("inkwarden://profile");
    EXPECT_EQ(contents.at(0).uri, "inkwarden://profile");
    co_await client->subscribeToResource("inkwarden://profile");
    EXPECT_EQ(record->subscribed.size(), 1u);
    auto completion = co_await client->completePrompt("sign-request", "who", "A");
    EXPECT_EQ(completion.values.at(0), "Ann");
    completion = co_await client->completeResource("inkwarden://signed/{name}", "name", "co");
    EXPECT_EQ(completion.values.at(0), "conn");

    co_await client->setLoggingLevel(LogLevel::warning);
    EXPECT_EQ(record->levels.size(), 1u);
    EXPECT_EQ(record->levels.at(0), LogLevel::warning);

    // The server's own requests and notifications reach the client's handlers.
    auto roots = co_await server->listRoots();
    EXPECT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots.at(0), Root("file:///home/me/Documents", "Documents"));
    auto messages = samplingMessages();
    auto sampled = co_await server->requestSampling(std::move(messages), std::nullopt, std::nullopt, std::nullopt,
                                                    std::nullopt, 50);
    EXPECT_EQ(sampled.model, "local-50");
    auto schema = Elicitation::RequestSchema::fromJSON(json(R"({"type":"object","properties":{}})"));
    auto answered = co_await server->requestElicitation("Company name?", std::move(schema));
    EXPECT_EQ(answered.action, CreateElicitation::Result::Action::accept);
    answered = co_await server->requestElicitation("Sign in", "https://example.test/login", "e-1");
    EXPECT_EQ(answered.action, CreateElicitation::Result::Action::decline);
    co_await server->log(LogLevel::error, "signer", Value("out of ink"));
    co_await client->notifyRootsChanged();
    co_await client->ping();  // both notifications have been read once this is answered
    EXPECT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged.at(0), Value("out of ink"));
    EXPECT_EQ(record->rootsChanged, 1u);

    // A cancelled call ends at once; the server stops its handler and never answers it.
    record->slowToolStarted.emplace();
    auto slow = client->startToolCall("slow");
    co_await record->slowToolStarted->wait();
    co_await client->cancelRequest(slow.requestID, "no longer needed");
    std::string cancelled;
    try {
        (void)co_await slow.value();
    } catch (const platform::CancellationError&) {
        cancelled = "cancelled";
    }
    EXPECT_EQ(cancelled, "cancelled");

    // A batch is answered as one array.
    std::vector<platform::Task<CallTool::Result>> calls;
    co_await client->withBatch([&](std::shared_ptr<Client::Batch> batch) -> asio::awaitable<void> {
        calls.push_back(batch->addRequest(CallTool::request(ID::random(), CallTool::Parameters("sign", signArguments("/inbox/b.pdf")))));
        calls.push_back(batch->addRequest(CallTool::request(ID::random(), CallTool::Parameters("sign", signArguments("/inbox/c.pdf")))));
        co_return;
    });
    auto b = co_await calls[0].value();
    auto c = co_await calls[1].value();
    EXPECT_EQ(b.content.at(0), Tool::Content::text("signed /inbox/b.pdf"));
    EXPECT_EQ(c.content.at(0), Tool::Content::text("signed /inbox/c.pdf"));
    EXPECT_EQ(c.structuredContent, Value::object({{"ok", true}}));
}

TEST(ClientEndToEndTest, TalksToTheServerEngineOverAnInMemoryPair) {
    asio::io_context io;
    auto record = std::make_shared<ServerRecord>();
    std::vector<Value> logged;
    auto server = makeServer(record);
    auto client = makeClient(&logged);
    testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
        auto pair = InMemoryTransport::createConnectedPair();
        co_await server->start(pair.server);
        auto result = co_await client->connect(pair.client);
        EXPECT_EQ(result.serverInfo.name, "desk-server");
        EXPECT_EQ(client->serverVersion(), "2025-11-25");
        EXPECT_EQ(client->instructions(), "Sign with care");
        EXPECT_EQ(server->clientInfo()->name, "desk-client");
        EXPECT_TRUE(server->clientCapabilities()->roots.has_value());
        co_await talk(client, server, record, logged);
        co_await client->disconnect();
        co_await server->waitUntilCompleted();
    });
}

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) != 0) throw std::system_error(errno, std::generic_category());
        read = fds[0];
        write = fds[1];
    }
};

TEST(ClientEndToEndTest, TalksToTheServerEngineInAnotherProcessOverStandardStreams) {
    Pipe toServer;
    Pipe toClient;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The server process: its own runtime, serving until its input ends.
        ::close(toServer.write);
        ::close(toClient.read);
        int status = 1;
        try {
            asio::io_context io;
            auto server = makeServer(std::make_shared<ServerRecord>());
            testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
                auto transport = std::make_shared<StdioTransport>(toServer.read, toClient.write);
                transport->pollInterval = std::chrono::milliseconds(1);
                co_await server->start(transport);
                co_await server->waitUntilCompleted();
                co_await server->stop();
            });
            status = 0;
        } catch (...) {
        }
        ::_exit(status);
    }
    ::close(toServer.read);
    ::close(toClient.write);

    asio::io_context io;
    std::vector<Value> logged;
    auto client = makeClient(&logged);
    testing_support::runAsync(io, [&]() -> asio::awaitable<void> {
        auto transport = std::make_shared<StdioTransport>(toClient.read, toServer.write);
        transport->pollInterval = std::chrono::milliseconds(1);
        auto result = co_await client->connect(transport);
        EXPECT_EQ(result.serverInfo.name, "desk-server");
        co_await client->ping();
        auto page = co_await client->listTools();
        EXPECT_EQ(page.items.size(), 2u);
        auto outcome = co_await client->callTool("sign", signArguments("/inbox/a.pdf"));
        EXPECT_EQ(outcome.content.at(0), Tool::Content::text("signed /inbox/a.pdf"));
        co_await client->setLoggingLevel(LogLevel::info);
        auto prompt = co_await client->getPrompt("sign-request", whoIs("Bo"));
        EXPECT_EQ(prompt.description, "For Bo");
        EXPECT_EQ((co_await client->listPrompts()).items.size(), 1u);
        EXPECT_EQ((co_await client->listResources()).items.size(), 1u);
        EXPECT_EQ((co_await client->listResourceTemplates()).items.size(), 1u);
        EXPECT_EQ((co_await client->readResource("inkwarden://profile")).at(0).uri, "inkwarden://profile");
        co_await client->subscribeToResource("inkwarden://profile");
        EXPECT_EQ((co_await client->completeResource("inkwarden://signed/{name}", "name", "a")).values.at(0), "ann");
        co_await client->notifyRootsChanged();
        co_await client->disconnect();
    });
    ::close(toServer.write);  // the server's input ends, and with it the server
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(toClient.read);
}

}  // namespace
}  // namespace mcp::test
