// Whole round trips on one thread: a client engine calls a tool of a server engine over an
// in-memory pair of transports, and waits for the typed result before making the next call.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>

#include "mcp/base/transports/in_memory_transport.hpp"
#include "mcp/client/client.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/task.hpp"

namespace {

namespace asio = boost::asio;
using namespace mcp;

std::shared_ptr<Server> makeServer() {
    ServerCapabilities capabilities;
    capabilities.tools = ServerCapabilities::Tools{true};
    auto server = Server::create("inkwarden", "1.0.0", "Inkwarden", "Sign documents.", capabilities);
    server->withMethodHandler<CallTool>([](CallTool::Parameters parameters) -> asio::awaitable<CallTool::Result> {
        const Value* path = nullptr;
        if (parameters.arguments) {
            if (auto found = parameters.arguments->find("path"); found != parameters.arguments->end()) path = &found->second;
        }
        std::string text = "Signed " + (path && path->stringValue() ? std::string(*path->stringValue()) : std::string());
        co_return CallTool::Result({Tool::Content::text(std::move(text))}, std::nullopt, false);
    });
    return server;
}

asio::awaitable<void> callTools(std::shared_ptr<Client> client, int count, bool* failed) {
    std::map<std::string, Value> arguments{{"path", Value("/inbox/contract.pdf")}, {"page", Value(3)}};
    for (int i = 0; i < count; ++i) {
        auto outcome = co_await client->callTool("sign_document", arguments);
        if (outcome.content.size() != 1) *failed = true;
        benchmark::DoNotOptimize(outcome);
    }
}

// One tools/call from the client's call to its typed result, through both engines and both
// transports; the pair shares one core. With several callers, that many calls are in flight at once.
void BM_ClientServerToolCallRoundTrip(benchmark::State& state) {
    constexpr int kBatch = 1000;
    const int callers = static_cast<int>(state.range(0));
    asio::io_context io;
    auto server = makeServer();
    auto client = Client::create("bench-client", "1.0");
    auto pair = InMemoryTransport::createConnectedPair();
    auto start = platform::spawn(io.get_executor(), [](std::shared_ptr<Server> s, std::shared_ptr<Client> c,
                                                       InMemoryTransport::Pair p) -> asio::awaitable<void> {
        co_await s->start(p.server);
        (void)co_await c->connect(p.client);
    }(server, client, pair));
    while (!start.isFinished()) io.run_one();
    start.get();

    bool failed = false;
    for (auto _ : state) {
        std::vector<platform::Task<void>> tasks;
        for (int i = 0; i < callers; ++i) {
            tasks.push_back(platform::spawn(io.get_executor(), callTools(client, kBatch / callers, &failed)));
        }
        for (const auto& task : tasks) {
            while (!task.isFinished()) io.run_one();
            task.get();
        }
    }
    if (failed) state.SkipWithError("a call gave an unexpected result");
    state.SetItemsProcessed(state.iterations() * (kBatch / callers) * callers);

    auto stop = platform::spawn(io.get_executor(), [](std::shared_ptr<Server> s, std::shared_ptr<Client> c) -> asio::awaitable<void> {
        co_await c->disconnect();
        co_await s->stop();
    }(server, client));
    while (!stop.isFinished()) io.run_one();
}
BENCHMARK(BM_ClientServerToolCallRoundTrip)->Arg(1)->Arg(16)->ArgName("callers");

}  // namespace
