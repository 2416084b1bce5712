// The memory one host exchange holds at its peak, as a multiple of its request's body: every
// allocation of the process is counted (its usable size), so each form the body passes through
// (text, DOM, Value tree, typed parameters) shows.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include "host/host_exchange.hpp"
#include "host/tools.hpp"
#include "platform/main_thread.hpp"
#include "platform/scheduler.hpp"
#include "signature/signature_store.hpp"

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

void* counted(void* pointer) {
    if (!pointer) throw std::bad_alloc();
    auto now = liveBytes.fetch_add(malloc_usable_size(pointer), std::memory_order_relaxed) + malloc_usable_size(pointer);
    for (auto peak = peakBytes.load(std::memory_order_relaxed);
         now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed);) {
    }
    return pointer;
}

void uncounted(void* pointer) noexcept {
    if (!pointer) return;
    liveBytes.fetch_sub(malloc_usable_size(pointer), std::memory_order_relaxed);
    std::free(pointer);
}

}  // namespace

void* operator new(std::size_t size) { return counted(std::malloc(size ? size : 1)); }
void* operator new[](std::size_t size) { return counted(std::malloc(size ? size : 1)); }
void* operator new(std::size_t size, std::align_val_t align) {
    return counted(std::aligned_alloc(static_cast<std::size_t>(align), (size + static_cast<std::size_t>(align) - 1) & ~(static_cast<std::size_t>(align) - 1)));
}
void operator delete(void* pointer) noexcept { uncounted(pointer); }
void operator delete[](void* pointer) noexcept { uncounted(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { uncounted(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { uncounted(pointer); }
void operator delete(void* pointer, std::align_val_t) noexcept { uncounted(pointer); }
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept { uncounted(pointer); }

namespace {

namespace asio = boost::asio;
using namespace inkwarden;

class SameThread final : public MainThread {
public:
    explicit SameThread(asio::io_context& io) : io_(io) {}
    void post(Job job) override { asio::post(io_, std::move(job)); }
    bool isCurrent() const override { return true; }

private:
    asio::io_context& io_;
};

class NoScheduler final : public Scheduler {
public:
    void after(std::chrono::milliseconds, Job) override {}
};

/// A tools/call whose arguments hold about `size` bytes in the given shape.
std::string callBody(std::size_t size, const std::string& element) {
    std::string body = R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"get_company_profile","arguments":{"a":[)";
    while (body.size() + element.size() + 8 < size) body += element + ",";
    body += element + "]}}}";
    return body;
}

void exchangePeak(benchmark::State& state, const std::string& element) {
    auto folder = std::filesystem::temp_directory_path() / ("inkwarden-memory-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "run");
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);

    asio::io_context io;
    SameThread mainThread(io);
    NoScheduler scheduler;
    HostStatus status;
    SignatureStore signatures(scheduler);
    Tools tools(mainThread, status, signatures);
    HostExchange exchange(mainThread, status, tools);
    Tools::all();  // built once per process, not per request

    const auto body = callBody(4u << 20, element);
    double ratio = 0;
    for (auto _ : state) {
        mcp::HTTPRequest request{"POST",
                                 {{"Authorization", "Bearer t"},
                                  {"Accept", "application/json"},
                                  {"Content-Type", "application/json"}},
                                 body,
                                 "/mcp"};
        const auto before = liveBytes.load();
        peakBytes = before;
        int status = 0;
        asio::co_spawn(
            io,
            [&]() -> asio::awaitable<void> {
                auto handle = exchange.handle(std::move(request), "t");
                auto response = co_await std::move(handle);
                status = response.statusCode();
            },
            asio::detached);
        io.restart();
        io.run();
        if (status != 200) state.SkipWithError("the exchange failed");
        // The request's own body is part of what the exchange holds.
        ratio = static_cast<double>(peakBytes.load() - before + body.size()) / static_cast<double>(body.size());
    }
    state.counters["body_MiB"] = static_cast<double>(body.size()) / (1 << 20);
    state.counters["peak_per_body"] = ratio;
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK_CAPTURE(exchangePeak, nested_empty_arrays, std::string("[]"))->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exchangePeak, deeper_empty_arrays, std::string("[[[]]]"))->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exchangePeak, small_numbers, std::string("1"))->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exchangePeak, short_strings, std::string("\"ab\""))->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(exchangePeak, empty_objects, std::string("{}"))->Iterations(2)->Unit(benchmark::kMillisecond);
