// The whole in-process road of the server engine on one thread: a request arrives as bytes from a
// transport, is decoded, dispatched through the engine and the typed handler box, answered, encoded
// and handed back to the transport.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>

#include "logging/logger.hpp"
#include "logging/no_op_log_handler.hpp"
#include "mcp/base/transport.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/async/task.hpp"

namespace {

namespace asio = boost::asio;
using namespace mcp;

/// A transport whose peer is the benchmark: it feeds requests in and takes the replies out.
class LoopbackTransport final : public Transport {
public:
    platform::AsyncStream<std::string> incoming;
    platform::AsyncStream<std::string> replies;

    logging::Logger logger() const override { return logger_; }
    asio::awaitable<void> connect() override { co_return; }
    asio::awaitable<void> disconnect() override {
        incoming.finish();
        co_return;
    }
    asio::awaitable<void> send(std::string data) override {
        replies.yield(std::move(data));
        co_return;
    }
    platform::AsyncStream<std::string> receive() override { return incoming; }

private:
    logging::Logger logger_{"mcp.transport.bench", logging::AnyLogHandler(logging::NoOpLogHandler())};
};

std::vector<Tool> catalog() {
    Tool sign("sign_document", std::nullopt, "Signs one PDF from the inbox",
              Value::object({{"type", "object"},
                             {"properties", Value::object({{"path", Value::object({{"type", "string"}})},
                                                           {"page", Value::object({{"type", "integer"}})}})},
                             {"required", Value::array({"path"})}}));
    sign.annotations.readOnlyHint = false;
    Tool profile("get_profile", std::nullopt, "Reads the company profile", Value::object({{"type", "object"}}));
    profile.annotations.readOnlyHint = true;
    return {sign, profile};
}

std::shared_ptr<Server> makeServer() {
    ServerCapabilities capabilities;
    capabilities.tools = ServerCapabilities::Tools{true};
    auto server = Server::create("inkwarden", "1.0.0", "Inkwarden", "Sign documents.", capabilities);
    auto tools = std::make_shared<const std::vector<Tool>>(catalog());
    server->withMethodHandler<ListTools>([tools](ListTools::Parameters) -> asio::awaitable<ListTools::Result> {
        co_return ListTools::Result{*tools};
    });
    server->withMethodHandler<CallTool>([](CallTool::Parameters parameters) -> asio::awaitable<CallTool::Result> {
        const Value* path = nullptr;
        if (parameters.arguments) {
            if (auto found = parameters.arguments->find("path"); found != parameters.arguments->end()) path = &found->second;
        }
        std::string text = R"({"signed":")" + (path ? path->description() : std::string()) + R"("})";
        co_return CallTool::Result({Tool::Content::text(std::move(text))}, std::nullopt, false);
    });
    return server;
}

const std::string kListRequest = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
const std::string kCallRequest =
    R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"sign_document","arguments":{"path":"/inbox/a.pdf","page":1}}})";

/// Runs `requests` in turn through a started server, each answered before the next is sent;
/// counts round trips.
void runRoundTrips(benchmark::State& state, const std::vector<std::string>& requests) {
    asio::io_context io;
    auto transport = std::make_shared<LoopbackTransport>();
    auto server = makeServer();
    std::size_t replyBytes = 0;
    auto drive = [&]() -> asio::awaitable<void> {
        co_await server->start(transport);
        for (auto _ : state) {
            for (const auto& request : requests) {
                transport->incoming.yield(request);
                auto reply = co_await transport->replies.next();
                replyBytes += reply->size();
            }
        }
        co_await server->stop();
    };
    auto task = platform::spawn(io.get_executor(), drive());
    io.run();
    task.get();
    benchmark::DoNotOptimize(replyBytes);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * requests.size()));
    state.counters["round_trips_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * requests.size()), benchmark::Counter::kIsRate);
}

void BM_ServerToolsListAndCall(benchmark::State& state) {
    runRoundTrips(state, {kListRequest, kCallRequest});
}
BENCHMARK(BM_ServerToolsListAndCall);

void BM_ServerToolsList(benchmark::State& state) {
    runRoundTrips(state, {kListRequest});
}
BENCHMARK(BM_ServerToolsList);

void BM_ServerToolsCall(benchmark::State& state) {
    runRoundTrips(state, {kCallRequest});
}
BENCHMARK(BM_ServerToolsCall);

}  // namespace
