#include "logging/handlers/stdio_output_stream.hpp"
#include "logging/handlers/stream_log_handler.hpp"
#include "logging/logger.hpp"
#include "logging/no_op_log_handler.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

// Drops what is written, so the figure is the handler's own work.
struct NullStream final : logging::TextOutputStream {
    void write(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
};

void BM_FilteredCallMessageOnly(benchmark::State& state) {
    logging::Logger logger("mcp.transport.stdio", logging::NoOpLogHandler());
    for (auto _ : state) logger.debug("Server finished");
}
BENCHMARK(BM_FilteredCallMessageOnly);

void BM_FilteredCallNoOpHandler(benchmark::State& state) {
    logging::Logger logger("mcp.transport.stdio", logging::NoOpLogHandler());
    const std::string method = "tools/call";
    for (auto _ : state) {
        logger.debug("Sending response", {{"method", method}, {"id", 42}, {"size", std::size_t{512}}});
    }
}
BENCHMARK(BM_FilteredCallNoOpHandler);

void BM_FilteredCallStreamHandler(benchmark::State& state) {
    logging::Logger logger("worker", logging::StreamLogHandler("worker", std::make_shared<NullStream>(), std::nullopt));
    const std::string method = "tools/call";
    auto error = std::make_exception_ptr(std::runtime_error("closed"));
    for (auto _ : state) {
        logger.debug("Failed to send", error, {{"method", method}, {"id", 42}, {"size", std::size_t{512}}});
    }
}
BENCHMARK(BM_FilteredCallStreamHandler);

void BM_StreamLineThreeEntriesNullStream(benchmark::State& state) {
    logging::Logger logger("mcp.transport.stdio",
                           logging::StreamLogHandler("mcp.transport.stdio", std::make_shared<NullStream>(), std::nullopt));
    const std::string method = "tools/call";
    for (auto _ : state) {
        logger.info("Sending response", {{"method", method}, {"id", 42}, {"size", std::size_t{512}}});
    }
}
BENCHMARK(BM_StreamLineThreeEntriesNullStream);

void BM_StreamLineThreeEntriesDevNull(benchmark::State& state) {
    std::FILE* devNull = std::fopen("/dev/null", "w");
    if (!devNull) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    {
        logging::Logger logger("mcp.transport.stdio",
                               logging::StreamLogHandler("mcp.transport.stdio", logging::StdioOutputStream::file(devNull),
                                                         std::nullopt));
        const std::string method = "tools/call";
        for (auto _ : state) {
            logger.info("Sending response", {{"method", method}, {"id", 42}, {"size", std::size_t{512}}});
        }
    }
    std::fclose(devNull);
}
BENCHMARK(BM_StreamLineThreeEntriesDevNull);

}  // namespace
