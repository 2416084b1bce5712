#include <cstddef>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/json.hpp>

#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

namespace {

using boost::json::array;
using boost::json::object;
using boost::json::value;

value typicalRequest() {
    return object{
        {"jsonrpc", "2.0"},
        {"id", "6F1C2B7A-3D4E-4F50-8A9B-0C1D2E3F4A5B"},
        {"method", "tools/call"},
        {"params",
         object{{"name", "request_signature"},
                {"arguments",
                 object{{"reason", "Sign the supplier agreement for https://example.com/contracts/42"},
                        {"pages", array{1, 2, 7}},
                        {"scale", 0.75},
                        {"includeDate", true}}},
                {"_meta", object{{"progressToken", 17}}}}},
    };
}

/// A tools/call result of about 1 MiB: mostly prose, some escapes and non-ASCII, a base64 image and a
/// structured part.
value largeResult() {
    const std::string line =
        "Clause 4.2: the \"Supplier\" delivers goods to C:\\depot within 30 days \xe2\x80\x94 see "
        "https://example.com/terms/v2.\n";
    std::string text;
    while (text.size() < 900 * 1024) text += line;
    std::string image;
    while (image.size() < 100 * 1024) image += "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA/";
    array rows;
    for (int i = 0; i < 200; ++i) {
        rows.push_back(object{{"page", i}, {"width", 595.276}, {"height", 841.89}, {"label", "Page " + std::to_string(i)}});
    }
    return object{
        {"jsonrpc", "2.0"},
        {"id", 42},
        {"result",
         object{{"content", array{object{{"type", "text"}, {"text", text}},
                                  object{{"type", "image"}, {"mimeType", "image/png"}, {"data", image}}}},
                {"structuredContent", object{{"pages", rows}, {"signed", true}}},
                {"isError", false}}},
    };
}

/// 400 levels of objects and arrays in turn.
value deepValue() {
    value root = object{};
    value* innermost = &root;
    for (int depth = 1; depth < 400; ++depth) {
        if (innermost->is_object()) {
            innermost = &innermost->get_object().emplace("level", depth % 2 ? value(array{}) : value(object{})).first->value();
            continue;
        }
        auto& a = innermost->get_array();
        a.push_back(depth);
        innermost = &a.emplace_back(depth % 2 ? value(array{}) : value(object{}));
    }
    return root;
}

const value& document(std::int64_t which) {
    static const value documents[] = {typicalRequest(), largeResult(), deepValue()};
    return documents[which];
}

const std::string& documentText(std::int64_t which) {
    static const std::string texts[] = {platform::json::write(document(0)), platform::json::write(document(1)),
                                        platform::json::write(document(2))};
    return texts[which];
}

void name(benchmark::State& state) {
    static const char* const names[] = {"request", "1MiB result", "400 levels"};
    state.SetLabel(names[state.range(0)]);
}

void BM_Parse(benchmark::State& state) {
    const auto& text = documentText(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(platform::json::parse(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    name(state);
}

void BM_BoostParse(benchmark::State& state) {
    const auto& text = documentText(state.range(0));
    boost::json::parse_options options;
    options.max_depth = 512;
    for (auto _ : state) benchmark::DoNotOptimize(boost::json::parse(text, {}, options));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    name(state);
}

void BM_Write(benchmark::State& state) {
    const auto& doc = document(state.range(0));
    std::size_t size = 0;
    for (auto _ : state) {
        auto text = platform::json::write(doc);
        size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    name(state);
}

void BM_WriteSorted(benchmark::State& state) {
    const auto& doc = document(state.range(0));
    const platform::json::WriteOptions options{.sortedKeys = true, .escapeSlashes = false};
    std::size_t size = 0;
    for (auto _ : state) {
        auto text = platform::json::write(doc, options);
        size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    name(state);
}

// For comparison only: the project writes through platform::json::write.
void BM_BoostSerialize(benchmark::State& state) {
    const auto& doc = document(state.range(0));
    std::size_t size = 0;
    for (auto _ : state) {
        auto text = boost::json::serialize(doc);
        size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    name(state);
}

BENCHMARK(BM_Parse)->DenseRange(0, 2);
BENCHMARK(BM_BoostParse)->DenseRange(0, 2);
BENCHMARK(BM_Write)->DenseRange(0, 2);
BENCHMARK(BM_WriteSorted)->DenseRange(0, 2);
BENCHMARK(BM_BoostSerialize)->DenseRange(0, 2);

}  // namespace
