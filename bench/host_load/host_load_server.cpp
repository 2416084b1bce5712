// The real local host on a loopback port, for load generators: its runtime thread runs on the
// calling process's core set (pin it with taskset). Prints "ready <port>" once it listens and
// serves until SIGINT or SIGTERM.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/use_future.hpp>

#include "../host_parts.hpp"
#include "host/mcp_host.hpp"
#include "shell/app_settings.hpp"

namespace asio = boost::asio;
using namespace inkwarden;

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 47311;
    const std::string token = argc > 2 ? argv[2] : "bench-token";
    auto folder = std::filesystem::temp_directory_path() / ("inkwarden-load-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "run");
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
    std::filesystem::create_directories(folder / "config" / "inkwarden");
    std::ofstream(folder / "config" / "inkwarden" / "settings.json")
        << R"({"port":)" << port << R"(,"token":")" << token << R"("})";

    bench::HostParts parts;
    auto& mainThread = parts.mainThread;
    auto& status = parts.status;
    auto& exchange = parts.exchange;

    asio::io_context runtime(1);
    auto host = MCPHost::create(runtime.get_executor(), mainThread, status,
                                [&exchange](mcp::HTTPRequest request, std::string token) {
                                    return exchange.handle(std::move(request), std::move(token));
                                });
    asio::signal_set signals(runtime, SIGINT, SIGTERM);
    signals.async_wait([&](auto, int) { runtime.stop(); });
    auto started = asio::co_spawn(runtime, host->start(), asio::use_future);
    std::thread announce([&] {
        started.get();
        bool running = mainThread.run([&] { return status.running(); });
        std::cout << (running ? "ready " : "failed ") << port << std::endl;
        if (!running) std::_Exit(1);
    });
    runtime.run();
    announce.join();
    std::filesystem::remove_all(folder);
    return 0;
}
