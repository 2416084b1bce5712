// Arbitrary bytes read as a host connection's request and, once complete, answered by the real
// exchange: nothing may crash, hang or grow without bound.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include "host/host_exchange.hpp"
#include "host/host_request_reader.hpp"
#include "host/host_status.hpp"
#include "host/tools.hpp"
#include "platform/main_thread.hpp"
#include "platform/scheduler.hpp"
#include "signature/signature_store.hpp"

namespace {

namespace asio = boost::asio;
using namespace inkwarden;

/// The runtime thread doubles as the main thread: jobs are queued on the same context.
class SameThread final : public MainThread {
public:
    explicit SameThread(asio::io_context& io) : io_(io) {}
    void post(Job job) override { asio::post(io_, std::move(job)); }
    bool isCurrent() const override { return true; }

private:
    asio::io_context& io_;
};

/// The 600-second deletions never come due while fuzzing.
class NoScheduler final : public Scheduler {
public:
    void after(std::chrono::milliseconds, Job) override {}
};

constexpr std::string_view kToken = "fuzz-token";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Settings and files of the exchange stay in a private folder.
    auto folder = std::filesystem::temp_directory_path() / ("inkwarden-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "run");
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks how the rest arrives (read sizes) and whether the token is supplied,
    // so the fuzzer reaches the engine without having to guess it.
    const unsigned control = data[0];
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t chunk = 1 + (control & 0x3F);
    const bool supplyToken = (control & 0x80) != 0;

    HostRequestReader reader;
    auto status = HostRequestReader::Status::needMore;
    for (std::size_t at = 0; at < bytes.size() && status == HostRequestReader::Status::needMore; at += chunk)
        status = reader.feed(bytes.substr(at, chunk));
    if (status != HostRequestReader::Status::complete) return 0;
    auto request = reader.take();
    if (supplyToken) request.headers["Authorization"] = "Bearer " + std::string(kToken);

    static asio::io_context io;
    static SameThread mainThread(io);
    static NoScheduler scheduler;
    static HostStatus hostStatus;
    static SignatureStore signatures(scheduler);
    static Tools tools(mainThread, hostStatus, signatures);
    static HostExchange exchange(mainThread, hostStatus, tools);

    bool answered = false;
    asio::co_spawn(
        io,
        [&]() -> asio::awaitable<void> {
            auto handle = exchange.handle(std::move(request), std::string(kToken));
            auto response = co_await std::move(handle);
            answered = response.statusCode() >= 200;
        },
        asio::detached);
    io.restart();
    // Every exchange ends on its own: no tool reachable here waits for a person.
    io.run_for(std::chrono::seconds(10));
    if (!answered) std::abort();
    return 0;
}
