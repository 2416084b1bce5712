// The desktop application as a user starts it: time from exec to a listening host, and its
// resident memory once idle. Runs the built executable beside this benchmark, offscreen.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "running_application.hpp"

namespace {

using Clock = std::chrono::steady_clock;

using bench::Home;
using bench::accepts;
using bench::launch;
using bench::stop;

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Exec to the first accepted connection, polled every half millisecond, bounded at 10 seconds.
void BM_StartupToListeningHost(benchmark::State& state) {
    long rss = 0;
    for (auto _ : state) {
        Home home;
        const auto started = Clock::now();
        const pid_t pid = launch(home);
        if (pid < 0) {
            state.SkipWithError("cannot start the application");
            break;
        }
        while (!accepts(home.port) && Clock::now() - started < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const auto listening = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(listening - started).count());
        // Idle: tray, host listening, nothing asked of it.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        rss = std::max(rss, residentKiB(pid));
        stop(pid);
    }
    state.counters["idle_rss_MiB"] = static_cast<double>(rss) / 1024.0;
}
BENCHMARK(BM_StartupToListeningHost)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
