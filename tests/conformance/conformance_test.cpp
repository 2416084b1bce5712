// The protocol's conformance suite, run as a black box against the fixture server over real HTTP
// on 127.0.0.1: once through the stateful transport, once through the stateless one.
#include "conformance/conformance_sessions.hpp"
#include "support/conformance_http_listener.hpp"

#include "platform/async/task.hpp"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace conformance {
namespace {

namespace asio = boost::asio;
namespace fs = std::filesystem;

// How long one run of the suite may take before it counts as hung.
constexpr auto kSuiteLimit = std::chrono::minutes(4);

const fs::path kNodeTools = INKWARDEN_NODE_TOOLS_DIR;
const fs::path kExpectedFailures = fs::path(INKWARDEN_CONFORMANCE_DIR) / "expected-failures.yml";

struct SuiteRun {
    int exitStatus = -1;
    std::string output;
};

/// Runs the suite's command line with `arguments`, its Node first on PATH, output to a file.
SuiteRun runSuite(const std::vector<std::string>& arguments, const fs::path& outputFile) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view text(*entry);
        if (!text.starts_with("PATH=")) environment.emplace_back(text);
    }
    const char* path = std::getenv("PATH");
    environment.push_back("PATH=" + (kNodeTools / "node_modules/.bin").string() + ":" + (path ? path : "/usr/bin:/bin"));

    std::vector<std::string> argv{(kNodeTools / "node_modules/.bin/node").string(),
                                  (kNodeTools / "node_modules/.bin/conformance").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argvPointers, envPointers;
    for (auto& a : argv) argvPointers.push_back(a.data());
    argvPointers.push_back(nullptr);
    for (auto& e : environment) envPointers.push_back(e.data());
    envPointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = -1;
    int spawned = posix_spawn(&child, argvPointers[0], &actions, nullptr, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    SuiteRun run;
    if (spawned != 0) {
        run.output = "could not start the suite: " + std::string(std::strerror(spawned));
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + kSuiteLimit;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            run.output = "the suite did not finish in time\n";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    std::ifstream file(outputFile);
    std::stringstream text;
    text << file.rdbuf();
    run.output += text.str();
    return run;
}

asio::awaitable<void> stopSessions(ConformanceSessions* sessions, std::promise<void>* stopped) {
    co_await sessions->stopAll();
    stopped->set_value();
}

/// What the stateless transport cannot pass by design, added to the shared list for its run: it
/// has no event streams, so what the server sends on its own during a call is dropped.
constexpr std::string_view kStatelessOnlyFailures = R"(
  # the stateless transport drops notifications sent during a call
  - tools-call-with-logging
  - tools-call-with-progress
  # the stateless transport has no event streams
  - server-sse-polling
  - server-sse-multiple-streams
  # the stateless transport cannot bring the client's answer to a request from the server back
  - tools-call-sampling
  - tools-call-elicitation
  - elicitation-sep1034-defaults
  - elicitation-sep1330-enums
)";

/// The expected failures of a run: the shared list, with the stateless transport's own for it.
fs::path expectedFailures(ConformanceSessions::Mode mode, const fs::path& scratch) {
    if (mode == ConformanceSessions::Mode::stateful) return kExpectedFailures;
    std::ifstream shared(kExpectedFailures);
    std::ofstream combined(scratch);
    combined << "server:\n";
    // The shared server entries, one "  - scenario" line each; the rest of that file is comments
    // and the client's list.
    bool inServerList = false;
    for (std::string line; std::getline(shared, line);) {
        if (!line.starts_with(" ") && !line.starts_with("#") && !line.empty()) inServerList = line.starts_with("server:");
        if (inServerList && line.starts_with("  - ")) combined << line << "\n";
    }
    combined << kStatelessOnlyFailures;
    return scratch;
}

/// The fixture served on a thread of its own for the length of one suite run.
SuiteRun runAgainst(ConformanceSessions::Mode mode, const std::string& name) {
    asio::io_context io;
    auto work = asio::make_work_guard(io);
    ConformanceSessions sessions(mode);
    testing_support::ConformanceHTTPListener listener(
        io.get_executor(), [&sessions](mcp::HTTPRequest request) { return sessions.handle(std::move(request)); });
    listener.start();
    std::thread runner([&io] { io.run(); });

    const auto scratch = fs::temp_directory_path() / ("inkwarden-conformance-" + name + "-" + std::to_string(getpid()));
    const auto outputFile = fs::path(scratch.string() + ".txt");
    const auto baseline = expectedFailures(mode, fs::path(scratch.string() + ".yml"));
    std::vector<std::string> arguments{"server", "--url", "http://127.0.0.1:" + std::to_string(listener.port()) + "/mcp",
                                       "--expected-failures", baseline.string(), "--suite", "all"};
    // One scenario in detail, when a developer names it.
    if (const char* scenario = std::getenv("CONFORMANCE_SCENARIO")) {
        arguments.insert(arguments.end(), {"--scenario", scenario, "--verbose"});
    }
    auto run = runSuite(arguments, outputFile);
    fs::remove(outputFile);
    if (baseline != kExpectedFailures) fs::remove(baseline);

    std::promise<void> stopped;
    asio::post(io, [&] {
        listener.stop();
        platform::spawnDetached(io.get_executor(), stopSessions(&sessions, &stopped));
    });
    stopped.get_future().wait();
    io.stop();
    runner.join();
    return run;
}

TEST(ConformanceSuiteTest, PassesOverTheStatefulTransport) {
    ASSERT_TRUE(fs::exists(kNodeTools / "node_modules/.bin/conformance"))
        << "the suite is not installed: run scripts/install-node-tools.sh";
    auto run = runAgainst(ConformanceSessions::Mode::stateful, "stateful");
    EXPECT_EQ(run.exitStatus, 0) << run.output;
}

TEST(ConformanceSuiteTest, PassesOverTheStatelessTransport) {
    ASSERT_TRUE(fs::exists(kNodeTools / "node_modules/.bin/conformance"))
        << "the suite is not installed: run scripts/install-node-tools.sh";
    auto run = runAgainst(ConformanceSessions::Mode::stateless, "stateless");
    EXPECT_EQ(run.exitStatus, 0) << run.output;
}

// The client scenarios: the suite's servers against the library's client engine on the HTTP
// client transport, through tests/conformance/client.
TEST(ConformanceSuiteTest, ClientScenariosPassWithTheLibrarysClient) {
    ASSERT_TRUE(fs::exists(kNodeTools / "node_modules/.bin/conformance"))
        << "the suite is not installed: run scripts/install-node-tools.sh";
    const auto outputFile =
        fs::temp_directory_path() / ("inkwarden-conformance-client-" + std::to_string(getpid()) + ".txt");
    std::vector<std::string> arguments{"client", "--command", INKWARDEN_CONFORMANCE_CLIENT, "--expected-failures",
                                       kExpectedFailures.string(), "--suite", "all"};
    if (const char* scenario = std::getenv("CONFORMANCE_SCENARIO")) {
        arguments.insert(arguments.end(), {"--scenario", scenario, "--verbose"});
    }
    auto run = runSuite(arguments, outputFile);
    fs::remove(outputFile);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    // A client that does nothing passes a scenario with no checks: the handshake must have been seen.
    if (!std::getenv("CONFORMANCE_SCENARIO")) {
        EXPECT_EQ(run.output.find("initialize: 0 passed"), std::string::npos) << run.output;
    }
}

}  // namespace
}  // namespace conformance
