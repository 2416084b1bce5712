// Round trips of the library's client engine on its HTTP client transport against the library's
// own stateful server on 127.0.0.1, and, in the same run against the same server, the pinned
// TypeScript SDK client (sdk_round_trips.mjs). Prints requests per second and the 99th
// percentile of one round trip for each.
//
// client_round_trip_bench <node tools folder> [round trips]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include "mcp/base/transports/http_client_transport.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"
#include "mcp/base/transports/http_server/stateful_http_server_transport.hpp"
#include "mcp/client/client.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/task.hpp"
#include "support/conformance_http_listener.hpp"

namespace {

namespace asio = boost::asio;
using namespace mcp;
using Clock = std::chrono::steady_clock;

// One server engine per session, as an embedding server keeps them.
class Sessions {
public:
    asio::awaitable<HTTPResponse> handle(HTTPRequest request) {
        if (auto id = request.header(HTTPHeaderName::sessionID)) {
            auto found = sessions_.find(*id);
            if (found == sessions_.end()) co_return HTTPResponse::error(404, MCPError::invalidRequest("Unknown session"));
            auto transport = std::static_pointer_cast<StatefulHTTPServerTransport>(found->second->connection());
            auto response = co_await transport->handleRequest(std::move(request));
            co_return response;
        }
        auto transport = std::make_shared<StatefulHTTPServerTransport>();
        auto server = Server::create("bench-server", "1.0");
        co_await server->start(transport);
        auto response = co_await transport->handleRequest(std::move(request));
        if (transport->sessionID()) sessions_.emplace(*transport->sessionID(), server);
        co_return response;
    }

private:
    std::map<std::string, std::shared_ptr<Server>> sessions_;
};

struct Figures {
    double requestsPerSecond = 0;
    double p99Milliseconds = 0;
};

Figures figuresOf(std::vector<double> milliseconds, double seconds) {
    std::sort(milliseconds.begin(), milliseconds.end());
    Figures figures;
    figures.requestsPerSecond = static_cast<double>(milliseconds.size()) / seconds;
    figures.p99Milliseconds = milliseconds[std::min(milliseconds.size() - 1, milliseconds.size() * 99 / 100)];
    return figures;
}

asio::awaitable<Figures> ourClient(std::string url, int roundTrips) {
    auto executor = co_await asio::this_coro::executor;
    HTTPClientTransport::Options options;
    options.streaming = false;
    auto transport = HTTPClientTransport::create(executor, boost::urls::url(url), options);
    auto client = Client::create("bench-client", "1.0");
    co_await client->connect(transport);
    std::vector<double> milliseconds;
    const auto start = Clock::now();
    for (int i = 0; i < roundTrips; ++i) {
        const auto sent = Clock::now();
        co_await client->ping();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    co_await client->disconnect();
    co_return figuresOf(std::move(milliseconds), seconds);
}

void print(const char* who, const Figures& figures) {
    std::printf("%-40s %10.0f req/s   p99 %8.3f ms\n", who, figures.requestsPerSecond, figures.p99Milliseconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: client_round_trip_bench <node tools folder> [round trips]\n";
        return 2;
    }
    const std::string nodeTools = argv[1];
    const int roundTrips = argc > 2 ? std::max(100, std::atoi(argv[2])) : 2000;

    // The server on a thread of its own, as a separate process would be.
    asio::io_context serverIO;
    auto work = asio::make_work_guard(serverIO);
    Sessions sessions;
    testing_support::ConformanceHTTPListener listener(
        serverIO.get_executor(), [&sessions](HTTPRequest request) { return sessions.handle(std::move(request)); });
    listener.start();
    std::thread serverThread([&serverIO] { serverIO.run(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.port()) + "/mcp";

    asio::io_context clientIO;
    auto task = platform::spawn(clientIO.get_executor(), ourClient(url, roundTrips));
    clientIO.run();
    print("library Client + HTTPClientTransport", task.get());

    const std::string command = "'" + nodeTools + "/node_modules/.bin/node' '" BENCH_SOURCE_DIR
                                "/sdk_round_trips.mjs' '" + nodeTools + "' '" + url + "' " + std::to_string(roundTrips);
    if (std::FILE* sdk = ::popen(command.c_str(), "r")) {
        double perSecond = 0, p99 = 0;
        if (std::fscanf(sdk, "%lf %lf", &perSecond, &p99) == 2) print("TypeScript SDK client", {perSecond, p99});
        else std::cerr << "the SDK client gave no figures\n";
        ::pclose(sdk);
    }

    asio::post(serverIO, [&] { listener.stop(); });
    work.reset();
    serverIO.stop();
    serverThread.join();
    return 0;
}
