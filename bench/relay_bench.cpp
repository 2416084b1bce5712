// What the stdio relay costs: the same tools/list calls to the running application, straight over
// HTTP (one connection per request, as the host serves them) and through `inkwarden --stdio`,
// side by side. The difference per call is the relay's cost.
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <boost/url/url.hpp>

#include "platform/http/fetch_blocking.hpp"
#include "running_application.hpp"

namespace {

namespace http = platform::http;

constexpr int kCalls = 10000;
const std::string kToolsList = R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})";
const std::string kInitialize =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},)"
    R"("clientInfo":{"name":"bench","version":"1"}}})";

/// The application, started once for every benchmark of this file and stopped at exit.
class Application {
public:
    static Application& shared() {
        static Application application;
        return application;
    }

    bool ready() const noexcept { return pid_ > 0 && listening_; }
    const bench::Home& home() const noexcept { return home_; }

    ~Application() {
        if (pid_ > 0) bench::stop(pid_);
    }

private:
    Application() : pid_(bench::launch(home_)) {
        for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             pid_ > 0 && !listening_ && std::chrono::steady_clock::now() < until;) {
            listening_ = bench::accepts(home_.port);
            if (!listening_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    bench::Home home_;
    pid_t pid_;
    bool listening_ = false;
};

/// A relay process with pipes to its standard input and output.
class Relay {
public:
    explicit Relay(const bench::Home& home) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = bench::launch(home, {"--stdio"}, in[0], out[1]);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~Relay() {
        ::close(input_);  // end of input ends the relay
        ::close(output_);
        int status = 0;
        if (pid_ > 0) ::waitpid(pid_, &status, 0);
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    bool started() const noexcept { return pid_ > 0; }

    void send(const std::string& line) {
        std::string bytes = line + "\n";
        for (std::string_view rest = bytes; !rest.empty();) {
            auto written = ::write(input_, rest.data(), rest.size());
            if (written <= 0) return;
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    /// The next line the relay writes; none at its end.
    std::optional<std::string> receive() {
        for (;;) {
            auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            char chunk[65536];
            auto got = ::read(output_, chunk, sizeof chunk);
            if (got <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
};

void BM_ToolsListOverHTTP(benchmark::State& state) {
    auto& application = Application::shared();
    if (!application.ready()) {
        state.SkipWithError("the application did not start");
        return;
    }
    http::Request request;
    request.method = "POST";
    request.url = boost::urls::url(application.home().endpoint());
    request.followRedirects = false;
    request.headers.set("Content-Type", "application/json");
    request.headers.set("Accept", "application/json, text/event-stream");
    request.headers.set("Authorization", "Bearer " + application.home().token);
    request.headers.set("MCP-Protocol-Version", "2025-06-18");
    request.headers.set("X-Inkwarden-Client", "bench");
    request.body = kToolsList;
    for (auto _ : state) {
        auto reply = http::fetchBlocking(request);
        if (reply.status != 200) {
            state.SkipWithError("tools/list failed");
            return;
        }
        benchmark::DoNotOptimize(reply.body.data());
    }
}
BENCHMARK(BM_ToolsListOverHTTP)->Iterations(kCalls)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ToolsListThroughStdioRelay(benchmark::State& state) {
    auto& application = Application::shared();
    Relay relay(application.home());
    if (!application.ready() || !relay.started()) {
        state.SkipWithError("the application or the relay did not start");
        return;
    }
    relay.send(kInitialize);
    if (!relay.receive()) {
        state.SkipWithError("initialize failed");
        return;
    }
    relay.send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    for (auto _ : state) {
        relay.send(kToolsList);
        auto reply = relay.receive();
        if (!reply || reply->find("\"tools\"") == std::string::npos) {
            state.SkipWithError("tools/list failed");
            return;
        }
    }
}
BENCHMARK(BM_ToolsListThroughStdioRelay)->Iterations(kCalls)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
