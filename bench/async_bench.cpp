#include "platform/async/one_shot.hpp"
#include "platform/async/task.hpp"

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>

namespace {

namespace asio = boost::asio;

asio::awaitable<int> answer() { co_return 42; }

asio::awaitable<void> spawnAndAwait(int count) {
    auto executor = co_await asio::this_coro::executor;
    for (int i = 0; i < count; ++i) {
        auto task = platform::spawn(executor, answer());
        int value = co_await task.value();
        benchmark::DoNotOptimize(value);
    }
}

// One spawned task awaited to its end: what every request of a server costs at least once.
void BM_SpawnAndAwait(benchmark::State& state) {
    constexpr int kBatch = 1000;
    for (auto _ : state) {
        asio::io_context io;
        platform::spawn(io.get_executor(), spawnAndAwait(kBatch));
        io.run();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_SpawnAndAwait);

asio::awaitable<void> resumeThroughOneShot(int count) {
    auto executor = co_await asio::this_coro::executor;
    for (int i = 0; i < count; ++i) {
        platform::OneShot<int> shot;
        asio::post(executor, [shot] { shot.resume(1); });
        int value = co_await shot.wait();
        benchmark::DoNotOptimize(value);
    }
}

// A waiter suspended and resumed through a one-shot continuation.
void BM_OneShotRoundTrip(benchmark::State& state) {
    constexpr int kBatch = 1000;
    for (auto _ : state) {
        asio::io_context io;
        platform::spawn(io.get_executor(), resumeThroughOneShot(kBatch));
        io.run();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_OneShotRoundTrip);

}  // namespace
