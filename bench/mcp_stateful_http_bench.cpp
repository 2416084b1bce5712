// The stateful Streamable HTTP exchange in process: a tools/call POSTed into an open session,
// answered by the server engine on the request's own event stream, every event stored for
// resumption. And what the event store holds per event over a long session.
#include <malloc.h>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>

#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/task.hpp"

namespace {

namespace asio = boost::asio;
using namespace mcp;

const std::map<std::string, std::string> kHeaders{
    {"Accept", "application/json, text/event-stream"},
    {"Content-Type", "application/json"},
    {"Host", "127.0.0.1:47292"},
    {"MCP-Protocol-Version", "2025-11-25"},
    {"User-Agent", "bench-client/1.0"},
};

template <class F>
void runOn(asio::io_context& io, F makeCoroutine) {
    auto task = platform::spawn(io.get_executor(), makeCoroutine());
    io.restart();
    while (!task.isFinished()) io.run_one();
    io.poll();
    task.get();
}

/// Reads a stream to its end, as a connection owner writing it would; the bytes it carried.
asio::awaitable<std::size_t> drain(platform::AsyncStream<std::string> events) {
    std::size_t bytes = 0;
    while (auto event = co_await events.next()) bytes += event->size();
    co_return bytes;
}

struct Session {
    asio::io_context io;
    std::shared_ptr<Server> server = Server::create("inkwarden", "1.0", "Inkwarden", std::nullopt,
                                                    Server::Capabilities{.tools = {{true}}});
    std::shared_ptr<StatefulHTTPServerTransport> transport = std::make_shared<StatefulHTTPServerTransport>();
    std::map<std::string, std::string> headers = kHeaders;

    Session() {
        server->withMethodHandler<CallTool>([](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
            co_return CallTool::Result{{Tool::Content::text("Signed " + params.name)}};
        });
        runOn(io, [this]() -> asio::awaitable<void> {
            co_await server->start(transport);
            auto init = transport->handle(HTTPRequest{
                "POST", headers,
                R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-11-25","capabilities":{},"clientInfo":{"name":"bench","version":"1"}}})",
                std::string("/mcp")});
            co_await drain(*init.eventStream());
        });
        headers["MCP-Session-Id"] = *transport->sessionID();
    }
    ~Session() {
        runOn(io, [this]() -> asio::awaitable<void> { co_await server->stop(); });
    }

    HTTPRequest call(int id) const {
        return HTTPRequest{"POST", headers,
                           R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
                               R"(,"method":"tools/call","params":{"name":"sign_document","arguments":{"reason":"Contract"}}})",
                           std::string("/mcp")};
    }
};

// One exchange: the POST through the pipeline, the stream with its priming event, the engine's
// answer routed onto the stream and stored, and the stream read to its end.
void BM_StatefulToolsCallExchange(benchmark::State& state) {
    Session session;
    int id = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        runOn(session.io, [&]() -> asio::awaitable<void> {
            auto response = session.transport->handle(session.call(++id));
            if (response.statusCode() != 200) throw std::runtime_error("not answered on a stream");
            bytes = co_await drain(*response.eventStream());
        });
    }
    state.counters["streamBytes"] = static_cast<double>(bytes);
    state.counters["storedEvents"] = static_cast<double>(session.transport->storedEvents().size());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StatefulToolsCallExchange);

// The heap a session's event store holds after `state.range(0)` exchanges: each one a request
// stream's priming event and the answer routed to it, both stored. The engine is left out (the
// requests are read off and answered here), so the figure is the store's alone.
void BM_EventStoreMemory(benchmark::State& state) {
    const auto exchanges = static_cast<int>(state.range(0));
    const auto noChecks = std::make_shared<const StandardValidationPipeline>(
        std::vector<std::shared_ptr<const HTTPRequestValidator>>{});
    double total = 0;
    std::size_t events = 0;
    for (auto _ : state) {
        asio::io_context io;
        auto transport = std::make_shared<StatefulHTTPServerTransport>(nullptr, noChecks);
        auto incoming = transport->receive();
        malloc_trim(0);
        const auto before = mallinfo2().uordblks;
        runOn(io, [&]() -> asio::awaitable<void> {
            for (int i = 0; i < exchanges; ++i) {
                auto id = std::to_string(i);
                auto response = transport->handle(HTTPRequest{
                    "POST", kHeaders,
                    R"({"jsonrpc":"2.0","id":)" + id +
                        R"(,"method":"tools/call","params":{"name":"sign_document","arguments":{"reason":"Contract"}}})",
                    std::string("/mcp")});
                co_await incoming.next();
                co_await transport->send(R"({"id":)" + id +
                                         R"(,"jsonrpc":"2.0","result":{"content":[{"text":"Signed sign_document","type":"text"}]}})");
                benchmark::DoNotOptimize(response);
            }
        });
        const auto after = mallinfo2().uordblks;
        total = static_cast<double>(after - before);
        events = transport->storedEvents().size();
        benchmark::DoNotOptimize(transport);
    }
    state.counters["storedEvents"] = static_cast<double>(events);
    state.counters["bytesPerEvent"] = total / static_cast<double>(events);
    state.counters["sessionMiB"] = total / (1024.0 * 1024.0);
}
BENCHMARK(BM_EventStoreMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
