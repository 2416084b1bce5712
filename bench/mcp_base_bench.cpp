#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/json.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/request_handler_box.hpp"
#include "mcp/server/call_tool.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

namespace {

namespace asio = boost::asio;
using namespace mcp;

// A tools/call request as a client sends it.
const std::string& toolsCallText() {
    static const std::string text = platform::json::write(boost::json::object{
        {"jsonrpc", "2.0"},
        {"id", "6F1C2B7A-3D4E-4F50-8A9B-0C1D2E3F4A5B"},
        {"method", "tools/call"},
        {"params",
         boost::json::object{
             {"name", "sign_document"},
             {"arguments", boost::json::object{{"file", "/tmp/inkwarden/inbox/contract.pdf"},
                                               {"page", 3},
                                               {"anchor", "Signature:"},
                                               {"box", boost::json::object{{"x", 0.1}, {"y", 0.82}, {"width", 0.3}}}}},
             {"_meta", boost::json::object{{"progressToken", 17}}}}},
    });
    return text;
}

// The tool's answer: a text content holding a small JSON report.
CallTool::Result toolResult() {
    return CallTool::Result({Tool::Content::text(
        R"({"deleted_after_seconds":600,"files":["/tmp/inkwarden/signatures/contract-signed.pdf"],"pages":[3]})")});
}

const TypedRequestHandler<CallTool>& toolsCallBox() {
    static const TypedRequestHandler<CallTool> box(
        [](Request<CallTool> request) -> asio::awaitable<Response<CallTool>> {
            benchmark::DoNotOptimize(request.params.name);
            co_return CallTool::response(std::move(request.id), toolResult());
        });
    return box;
}

// Runs the erased request through the typed box on `io` and gives the erased response.
Response<AnyMethod> runBox(asio::io_context& io, Request<AnyMethod> request) {
    std::optional<Response<AnyMethod>> response;
    std::exception_ptr error;
    asio::co_spawn(
        io,
        [&]() -> asio::awaitable<void> {
            auto answer = co_await toolsCallBox()(std::move(request));
            response.emplace(std::move(answer));
        },
        [&](std::exception_ptr e) { error = e; });
    io.restart();
    io.run();
    if (error) std::rethrow_exception(error);
    return std::move(*response);
}

const platform::json::WriteOptions kEngineWriting{.sortedKeys = true, .escapeSlashes = false};

// The whole road through this layer: text in, erased request, typed box, erased response, text out.
void BM_ToolsCallThroughTypedBox(benchmark::State& state) {
    asio::io_context io;
    const auto& text = toolsCallText();
    for (auto _ : state) {
        auto request = Request<AnyMethod>::fromJSON(platform::json::parse(text));
        auto response = runBox(io, std::move(request));
        auto written = platform::json::write(response.toJSON(), kEngineWriting);
        benchmark::DoNotOptimize(written);
    }
    state.SetItemsProcessed(state.iterations());
}

// Its parts, to see where the time goes.
void BM_DecodeErasedToolsCall(benchmark::State& state) {
    const auto& text = toolsCallText();
    for (auto _ : state) benchmark::DoNotOptimize(Request<AnyMethod>::fromJSON(platform::json::parse(text)));
    state.SetItemsProcessed(state.iterations());
}

void BM_ErasedToTypedParameters(benchmark::State& state) {
    auto request = Request<AnyMethod>::fromJSON(platform::json::parse(toolsCallText()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(detail::parametersFromValue<CallTool::Parameters>(request.params));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TypedResultToValue(benchmark::State& state) {
    auto result = toolResult();
    for (auto _ : state) benchmark::DoNotOptimize(Value::fromJSON(result.toJSON()));
    state.SetItemsProcessed(state.iterations());
}

void BM_BoxCallOnly(benchmark::State& state) {
    asio::io_context io;
    auto request = Request<AnyMethod>::fromJSON(platform::json::parse(toolsCallText()));
    for (auto _ : state) benchmark::DoNotOptimize(runBox(io, request));
    state.SetItemsProcessed(state.iterations());
}

// About 1 MiB of typical JSON: records with strings, numbers, nested arrays and objects.
const std::string& megabyteText() {
    static const std::string text = [] {
        boost::json::array records;
        std::size_t size = 0;
        for (int i = 0; size < 1024 * 1024; ++i) {
            boost::json::object record{
                {"id", i},
                {"name", "Document " + std::to_string(i) + " for https://example.com/contracts"},
                {"score", 0.5 * i + 0.25},
                {"active", i % 3 == 0},
                {"note", nullptr},
                {"tags", boost::json::array{"pdf", "signed", i}},
                {"box", boost::json::object{{"x", 0.1}, {"y", 0.82}, {"width", 0.3}}},
            };
            size += platform::json::write(record).size() + 1;
            records.push_back(std::move(record));
        }
        return platform::json::write(boost::json::object{{"records", std::move(records)}});
    }();
    return text;
}

void BM_ValueFromMegabyteDOM(benchmark::State& state) {
    auto dom = platform::json::parse(megabyteText());
    for (auto _ : state) benchmark::DoNotOptimize(Value::fromJSON(dom));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * megabyteText().size()));
}

void BM_ValueFromMegabyteText(benchmark::State& state) {
    const auto& text = megabyteText();
    for (auto _ : state) benchmark::DoNotOptimize(Value::fromJSON(platform::json::parse(text)));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The same document read straight into a Value, with no DOM between.
void BM_ValueFromMegabyteTextDirect(benchmark::State& state) {
    const auto& text = megabyteText();
    for (auto _ : state) benchmark::DoNotOptimize(Value::fromJSONText(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ValueCopyMegabyte(benchmark::State& state) {
    auto value = Value::fromJSON(platform::json::parse(megabyteText()));
    for (auto _ : state) {
        Value copy = value;
        benchmark::DoNotOptimize(copy);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ToolsCallThroughTypedBox);
BENCHMARK(BM_DecodeErasedToolsCall);
BENCHMARK(BM_ErasedToTypedParameters);
BENCHMARK(BM_TypedResultToValue);
BENCHMARK(BM_BoxCallOnly);
BENCHMARK(BM_ValueFromMegabyteDOM)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValueFromMegabyteText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValueFromMegabyteTextDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValueCopyMegabyte);

}  // namespace
