#include <benchmark/benchmark.h>

#include "eventsource/parser.hpp"

#include <cstdint>
#include <string>

namespace {

// A stream of message events as an MCP server sends them: an id, an event type and one JSON line.
std::string messageStream(std::size_t events) {
    std::string stream;
    for (std::size_t i = 0; i < events; ++i) {
        stream += "id: " + std::to_string(i) + "\nevent: message\n";
        stream += R"(data: {"jsonrpc":"2.0","method":"notifications/progress","params":{"progressToken":17,"progress":)" +
                  std::to_string(i) + R"(,"message":"Signing page 3 of 12 – “contract.pdf”"}})" + "\n\n";
    }
    return stream;
}

void BM_ParseEventStream(benchmark::State& state) {
    const auto stream = messageStream(1000);
    for (auto _ : state) {
        eventsource::Parser parser;
        std::size_t events = 0;
        for (char byte : stream) {
            parser.consume(static_cast<std::uint8_t>(byte));
            while (auto event = parser.getNextEvent()) {
                benchmark::DoNotOptimize(event->data.data());
                ++events;
            }
        }
        benchmark::DoNotOptimize(events);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 1000));
}
BENCHMARK(BM_ParseEventStream);

}  // namespace
