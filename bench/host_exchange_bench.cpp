// One tools/list through the host's own exchange and answer head, as every connection runs it,
// without the socket: the host's user-space share of a request, steadier than a load generator's
// figures on a shared machine.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>

#include "host/host_response_text.hpp"
#include "host/mcp_host.hpp"
#include "host_parts.hpp"
#include "platform/async/task.hpp"

namespace {

namespace asio = boost::asio;
using namespace inkwarden;

mcp::HTTPRequest toolsList() {
    return mcp::HTTPRequest{"POST",
                            {{"Accept", "application/json, text/event-stream"},
                             {"Authorization", "Bearer bench-token"},
                             {"Connection", "close"},
                             {"Content-Length", "46"},
                             {"Content-Type", "application/json"},
                             {"Host", "127.0.0.1:47292"}},
                            R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})",
                            std::string("/mcp")};
}

asio::awaitable<void> answer(const HostExchange& exchange, std::optional<mcp::HTTPResponse>& response) {
    response.emplace(co_await exchange.handle(toolsList(), "bench-token"));
}

void BM_HostExchangeToolsList(benchmark::State& state) {
    // The inbox path in the tool descriptions comes from the runtime folder.
    const auto folder = std::filesystem::temp_directory_path() / ("inkwarden-exchange-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    bench::HostParts host;
    asio::io_context io;
    std::size_t bytes = 0;
    for (auto _ : state) {
        // Taken as the host takes it: moved out of the exchange, never copied.
        std::optional<mcp::HTTPResponse> response;
        auto task = platform::spawn(io.get_executor(), answer(host.exchange, response));
        io.restart();
        while (!task.isFinished()) io.run_one();
        io.poll();
        if (!response || response->statusCode() != 200) state.SkipWithError("not answered 200");
        auto head = responseHead(*response, MCPHost::launchID());
        bytes = head.size() + (response->bodyData() ? response->bodyData()->size() : 0);
        benchmark::DoNotOptimize(head);
    }
    state.counters["answerBytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HostExchangeToolsList);

}  // namespace
