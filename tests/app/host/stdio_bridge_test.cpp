#include "host/stdio_bridge.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <map>
#include <future>
#include <mutex>
#include <sstream>
#include <thread>

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/use_future.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <gtest/gtest.h>

#include "host_harness.hpp"
#include "platform/http/http_error.hpp"
#include "support/loopback_http_server.hpp"
#include "support/temporary_folder.hpp"

namespace inkwarden {
namespace {

namespace asio = boost::asio;
using testing_support::LoopbackHttpServer;
using testing_support::RecordedRequest;
using namespace std::chrono_literals;

/// What the fake application answers to one request, after `delay`; `close` drops the
/// connection instead.
struct Answer {
    int status = 200;
    std::string body;
    std::optional<std::string> launch;
    bool close = false;
    std::chrono::milliseconds delay{0};

    static Answer reply(int status, std::string body, std::optional<std::string> launch = std::nullopt) {
        Answer answer;
        answer.status = status;
        answer.body = std::move(body);
        answer.launch = std::move(launch);
        return answer;
    }
    static Answer closing() {
        Answer answer;
        answer.close = true;
        return answer;
    }
    static Answer after(std::chrono::milliseconds delay) {
        Answer answer;
        answer.delay = delay;
        return answer;
    }
};

/// A scripted stand-in for the application's endpoint on its own runtime thread.
class FakeApplication {
public:
    using Script = std::function<Answer(const RecordedRequest& request, std::size_t index)>;

    /// Runs `fn` on the runtime thread and gives its value (bounded wait).
    template <class F>
    auto onRuntime(F fn) {
        auto result = asio::co_spawn(io_, [fn]() -> asio::awaitable<decltype(fn())> { co_return fn(); }, asio::use_future);
        if (result.wait_for(20s) != std::future_status::ready) throw std::runtime_error("the fake application hangs");
        return result.get();
    }

    explicit FakeApplication(Script script) : script_(std::move(script)) {
        server_ = std::make_unique<LoopbackHttpServer>(
            io_.get_executor(), [this](std::shared_ptr<LoopbackHttpServer::Exchange> exchange) -> asio::awaitable<void> {
                auto answer = script_(exchange->request(), index_++);
                if (answer.delay.count() > 0) {
                    asio::steady_timer timer(co_await asio::this_coro::executor, answer.delay);
                    auto [error] = co_await timer.async_wait(asio::as_tuple(asio::use_awaitable));
                    if (error) co_return;  // the server stopped
                }
                if (answer.close) {
                    exchange->close();
                    co_return;
                }
                platform::http::Headers headers;
                if (answer.launch) headers.set("X-Inkwarden-Launch", *answer.launch);
                co_await exchange->respond(answer.status, std::move(headers), std::move(answer.body));
            });
        thread_ = std::thread([this] { io_.run(); });
    }

    ~FakeApplication() {
        onRuntime([this] {
            server_->stop();
            server_.reset();
        });
        work_.reset();
        io_.stop();  // handlers still waiting to answer end with the runtime
        thread_.join();
    }

    std::string endpoint() const { return server_->url("/mcp"); }
    std::uint16_t port() const { return server_->port(); }

    std::vector<RecordedRequest> requests() {
        return onRuntime([this] { return server_->requests(); });
    }

private:
    Script script_;
    std::size_t index_ = 0;
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_ = asio::make_work_guard(io_);
    std::unique_ptr<LoopbackHttpServer> server_;
    std::thread thread_;
};

/// An in-memory file holding `content`. Not closed on exec on purpose: the launch test checks
/// that the started application gets none of the relay's descriptors.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view content = {}) : fd_(::memfd_create("relay-test", 0)) {
        EXPECT_EQ(::write(fd_, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        ::lseek(fd_, 0, SEEK_SET);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int fd() const noexcept { return fd_; }

    std::string content() const {
        std::string text;
        char buffer[4096];
        for (off_t at = 0;;) {
            auto got = ::pread(fd_, buffer, sizeof buffer, at);
            if (got <= 0) return text;
            text.append(buffer, static_cast<std::size_t>(got));
            at += got;
        }
    }

private:
    int fd_;
};

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

/// Runs the relay over `lines` to the end of input and gives what it wrote.
std::string relayLines(StdioBridge::Options options, const std::vector<std::string>& lines) {
    MemoryFile input(joinLines(lines));
    MemoryFile output;
    options.input = input.fd();
    options.output = output.fd();
    StdioBridge(std::move(options)).relay();
    return output.content();
}

StdioBridge::Options optionsFor(const std::string& endpoint) {
    StdioBridge::Options options;
    options.endpoint = [endpoint] { return endpoint; };
    options.token = [] { return std::string("secret"); };
    options.executable = "/nonexistent/inkwarden";
    options.requestTimeout = 20s;
    options.probeTimeout = 5s;
    return options;
}

/// An endpoint on which nothing listens.
std::string deadEndpoint() {
    return "http://127.0.0.1:" + std::to_string(testing::freePort()) + "/mcp";
}

std::string header(const RecordedRequest& request, std::string_view name) {
    return request.headers.get(name).value_or("<absent>");
}

const std::string kInitialize =
    R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},)"
    R"("clientInfo":{"name":"zed","title":"Zed Édition 2","version":"1"}}})";

TEST(StdioBridgeTest, SendsEachLineWithTheHeadersOfWhatIsKnownSoFar) {
    testing_support::AppFoldersSandbox sandbox;
    FakeApplication app([](const RecordedRequest& request, std::size_t index) {
        if (index == 0) {
            // Token read afresh for every line: the panel may reset it at any time.
            AppSettings::setToken("second");
            return Answer::reply(200, R"({"jsonrpc":"2.0","id":0,"result":{"protocolVersion":"2025-03-26"}})");
        }
        if (request.body.find("\"id\"") == std::string::npos) return Answer::reply(202, "");
        if (index == 2) return Answer::reply(200, R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2099-01-01"}})");
        return Answer::reply(200, R"({"jsonrpc":"2.0","id":2,"result":{}})");
    });
    testing::storeSettings(R"({"port":)" + std::to_string(app.port()) + R"(,"token":"first"})");

    StdioBridge::Options options;  // endpoint and token from the settings file
    auto output = relayLines(options, {"", "  \t ", kInitialize, R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
                                       R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})",
                                       R"({"jsonrpc":"2.0","id":2,"method":"ping"})"});

    auto requests = app.requests();
    ASSERT_EQ(requests.size(), 4u);  // the blank lines sent nothing
    EXPECT_EQ(requests[0].body, kInitialize);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/mcp");
    struct Expected {
        std::string version;
        std::string token;
    };
    const Expected expected[] = {{"<absent>", "Bearer first"},
                                 {"2025-03-26", "Bearer second"},
                                 {"2025-03-26", "Bearer second"},
                                 {"2099-01-01", "Bearer second"}};  // taken from a reply that was no initialize
    for (std::size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(header(requests[i], "Content-Type"), "application/json");
        EXPECT_EQ(header(requests[i], "Accept"), "application/json, text/event-stream");
        EXPECT_EQ(header(requests[i], "Authorization"), expected[i].token);
        EXPECT_EQ(header(requests[i], "MCP-Protocol-Version"), expected[i].version);
        // Named by the initialize line itself already.
        EXPECT_EQ(header(requests[i], "X-Inkwarden-Client"), "Zed%20Édition%202");
    }
    // The 202 wrote nothing.
    EXPECT_EQ(output, R"({"jsonrpc":"2.0","id":0,"result":{"protocolVersion":"2025-03-26"}})"
                      "\n"
                      R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2099-01-01"}})"
                      "\n"
                      R"({"jsonrpc":"2.0","id":2,"result":{}})"
                      "\n");
}

TEST(StdioBridgeTest, ReadsTheClientNameOnlyFromInitializeRequests) {
    struct Case {
        const char* name;
        std::string line;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"TitleFirst", R"({"method":"initialize","params":{"clientInfo":{"name":"n","title":"T"}}})", "T"},
        {"NullTitle", R"({"method":"initialize","params":{"clientInfo":{"name":"n","title":null}}})", "n"},
        {"NumberTitle", R"({"method":"initialize","params":{"clientInfo":{"name":"n","title":3}}})", "n"},
        {"NoStrings", R"({"method":"initialize","params":{"clientInfo":{"name":1}}})", std::nullopt},
        {"OtherMethod", R"({"method":"ping","params":{"clientInfo":{"name":"n"}}})", std::nullopt},
        {"NoObject", R"(["initialize"])", std::nullopt},
        {"NoJSON", "initialize", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StdioBridge::clientName(c.line), c.expected);
    }
}

TEST(StdioBridgeTest, PercentEncodesAllButLettersMarksAndNumbers) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"Claude Code", "Claude%20Code"},
        {"Zed Édition", "Zed%20Édition"},
        {"日本語クライアント", "日本語クライアント"},
        {"e\xCC\x81", "e\xCC\x81"},                  // a combining mark stays
        {"٣½x2", "٣½x2"},                             // numbers of any kind stay
        {"a-b_c.d/e", "a%2Db%5Fc%2Ed%2Fe"},           // no unreserved set: only letters, marks, numbers
        {"😀", "%F0%9F%98%80"},                       // a symbol, every UTF-8 byte
        {"100%", "100%25"},
        {"\xFF" "a", "%FFa"},                         // no UTF-8: the byte itself
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(StdioBridge::percentEncodedName(c.input), c.expected);
    }
}

TEST(StdioBridgeTest, WritesEachReplyAsOneLineKeepingItsNumbersAndTexts) {
    struct Case {
        const char* name;
        std::string body;
        std::string line;
    };
    const Case cases[] = {
        {"PrettyPrinted",
         "{\n  \"id\" : 1,\n  \"result\" : {\n    \"big\" : 123456789012345678901234567890,\n    \"one\" : 1.0,\n"
         "    \"small\" : 1e-400,\n    \"text\" : \"a\\nb \\t c\",\n    \"url\" : \"http:\\/\\/x\\/y\",\n"
         "    \"quote\" : \"\\\" \\\\/ \"\n  }\n}\n",
         R"({"id":1,"result":{"big":123456789012345678901234567890,"one":1.0,"small":1e-400,"text":"a\nb \t c",)"
         R"("url":"http://x/y","quote":"\" \\/ "}})"},
        {"CompactKeptAsItIs", R"({"id":1,"result":{"url":"http:\/\/x", "one": 1.0}})",
         R"({"id":1,"result":{"url":"http:\/\/x", "one": 1.0}})"},
        {"NoJSONKeptAsItIs", "not\njson", "not\njson"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StdioBridge::singleLine(c.body), c.line);
    }

    FakeApplication app([&](const RecordedRequest&, std::size_t index) {
        if (index == 0) return Answer::reply(200, cases[0].body);
        if (index == 1) return Answer::reply(202, R"({"ignored":true})");
        if (index == 2) return Answer::reply(200, "");
        return Answer::reply(401, R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request"},"id":null})");
    });
    auto output = relayLines(optionsFor(app.endpoint()), {R"({"id":1})", R"({"id":2})", R"({"id":3})", R"({"id":4})"});
    EXPECT_EQ(output, cases[0].line + "\n" +
                          R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request"},"id":null})" + "\n");
}

TEST(StdioBridgeTest, TellsOfARestartAfterTheReplyThatShowsIt) {
    const std::optional<std::string> launches[] = {"A", "A", std::nullopt, "A", "B", "B"};
    FakeApplication app([&](const RecordedRequest&, std::size_t index) {
        return Answer::reply(200, R"({"id":)" + std::to_string(index) + "}", launches[index]);
    });
    std::vector<std::string> lines;
    for (int i = 0; i < 6; ++i) lines.push_back(R"({"id":)" + std::to_string(i) + "}");
    auto output = relayLines(optionsFor(app.endpoint()), lines);
    EXPECT_EQ(output,
              "{\"id\":0}\n{\"id\":1}\n{\"id\":2}\n{\"id\":3}\n{\"id\":4}\n"
              "{\"jsonrpc\":\"2.0\",\"method\":\"notifications/tools/list_changed\"}\n"
              "{\"id\":5}\n");
}

TEST(StdioBridgeTest, AnswersUndeliverableRequestsWithTheirIdAndNothingElse) {
    auto options = optionsFor(deadEndpoint());
    auto output = relayLines(options, {R"({"jsonrpc":"2.0","id":null,"method":"ping"})",
                                       R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
                                       R"({"jsonrpc":"2.0","id":7,"method":"ping"})",
                                       R"({"jsonrpc":"2.0","id":"a/b","method":"ping"})",
                                       R"([{"jsonrpc":"2.0","id":8,"method":"ping"}])", "no json"});
    const std::string message = "Inkwarden isn't reachable: The application couldn't be started: No such file or directory";
    auto reply = [&](const std::string& id) {
        return R"({"jsonrpc":"2.0","id":)" + id + R"(,"error":{"code":-32000,"message":")" + message + "\"}}\n";
    };
    EXPECT_EQ(output, reply("null") + reply("7") + reply(R"("a\/b")"));
}

TEST(StdioBridgeTest, AnswersOtherFailuresAtOnceWithoutStartingTheApplication) {
    FakeApplication app([](const RecordedRequest&, std::size_t) { return Answer::closing(); });
    auto options = optionsFor(app.endpoint());
    int pauses = 0;
    options.pause = [&](std::chrono::milliseconds) { ++pauses; };
    auto output = relayLines(options, {R"({"jsonrpc":"2.0","id":1,"method":"ping"})"});

    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(app.requests().size(), 1u);
    auto reply = boost::json::parse(output).as_object();
    EXPECT_EQ(reply.at("id"), 1);
    auto message = std::string(reply.at("error").at("message").as_string());
    EXPECT_TRUE(message.starts_with("Inkwarden isn't reachable: ")) << message;
    EXPECT_EQ(message.find("couldn't be started"), std::string::npos) << message;
}

/// A stand-in for the application: it notes its process id and argument count, then becomes a
/// plain `sleep` holding what it was given, so the test can look at its descriptors and session.
class FakeExecutable {
public:
    FakeExecutable() {
        auto note = (folder_ / "started.tmp").string();
        std::ofstream(path()) << "#!/bin/sh\n"
                              << "echo \"$$ $#\" > '" << note << "' && mv '" << note << "' '" << record().string() << "'\n"
                              << "exec sleep 30\n";
        std::filesystem::permissions(path(), std::filesystem::perms::owner_all);
    }

    ~FakeExecutable() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    std::filesystem::path path() const { return folder_ / "inkwarden"; }

    /// Waits (bounded) until the program has started and turned into `sleep`; false when it
    /// never did.
    bool waitUntilStarted() {
        for (auto until = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < until;
             std::this_thread::sleep_for(5ms)) {
            if (pid_ <= 0) std::ifstream(record()) >> pid_ >> arguments_;
            std::error_code missing;
            if (pid_ > 0 && std::filesystem::read_symlink(proc() / "exe", missing).filename() == "sleep") return true;
        }
        return false;
    }

    int arguments() const noexcept { return arguments_; }

    /// Its open descriptors and what each refers to.
    std::map<std::string, std::string> descriptors() const {
        std::map<std::string, std::string> open;
        for (const auto& entry : std::filesystem::directory_iterator(proc() / "fd")) {
            std::error_code gone;
            open[entry.path().filename().string()] = std::filesystem::read_symlink(entry.path(), gone).string();
        }
        return open;
    }

    /// True when it leads a session of its own.
    bool leadsSession() const {
        std::ifstream stat(proc() / "stat");
        std::string field;
        for (int i = 0; i < 6; ++i) stat >> field;  // pid (comm) state ppid pgrp session
        return field == std::to_string(pid_);
    }

private:
    std::filesystem::path record() const { return folder_ / "started"; }
    std::filesystem::path proc() const { return "/proc/" + std::to_string(pid_); }

    testing_support::TemporaryFolder folder_;
    pid_t pid_ = 0;
    int arguments_ = -1;
};

TEST(StdioBridgeTest, StartsTheApplicationAndDeliversOnceItAnswers) {
    FakeApplication app([](const RecordedRequest& request, std::size_t) {
        if (request.body.empty()) return Answer::reply(400, R"({"error":"empty"})");
        return Answer::reply(200, R"({"jsonrpc":"2.0","id":1,"result":{}})", "L1");
    });
    FakeExecutable executable;
    std::mutex mutex;
    std::string endpoint = deadEndpoint();
    std::vector<std::chrono::milliseconds> pauses;

    auto options = optionsFor("");
    options.executable = executable.path();
    options.probeInterval = 7ms;
    options.endpoint = [&] {
        std::lock_guard lock(mutex);
        return endpoint;
    };
    options.pause = [&](std::chrono::milliseconds wait) {
        pauses.push_back(wait);
        // The application starts listening on the third probe.
        if (pauses.size() == 3) {
            std::lock_guard lock(mutex);
            endpoint = app.endpoint();
        }
    };
    auto output = relayLines(options, {R"({"jsonrpc":"2.0","id":1,"method":"ping"})"});

    EXPECT_EQ(output, "{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{}}\n");
    EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>(3, 7ms));
    auto requests = app.requests();
    ASSERT_EQ(requests.size(), 2u);
    // The probe is a bare POST; the line follows it.
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(header(requests[0], "Authorization"), "<absent>");
    EXPECT_EQ(requests[1].body, R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
    EXPECT_EQ(header(requests[1], "Authorization"), "Bearer secret");

    ASSERT_TRUE(executable.waitUntilStarted());
    EXPECT_EQ(executable.arguments(), 0);
    EXPECT_TRUE(executable.leadsSession());
    // Standard streams on /dev/null, and none of the relay's pipes, sockets or files.
    auto descriptors = executable.descriptors();
    for (const char* fd : {"0", "1", "2"}) EXPECT_EQ(descriptors[fd], "/dev/null") << fd;
    for (const auto& [fd, target] : descriptors) {
        for (const char* inherited : {"pipe:", "socket:", "memfd:"})
            EXPECT_FALSE(target.starts_with(inherited)) << fd << " -> " << target;
    }
}

TEST(StdioBridgeTest, GivesUpAfterTheLastProbe) {
    FakeExecutable executable;
    auto options = optionsFor(deadEndpoint());
    options.executable = executable.path();
    int pauses = 0;
    options.pause = [&](std::chrono::milliseconds) { ++pauses; };
    auto output = relayLines(options, {R"({"jsonrpc":"2.0","id":"x","method":"ping"})"});

    EXPECT_EQ(pauses, 40);
    EXPECT_TRUE(executable.waitUntilStarted());
    auto reply = boost::json::parse(output).as_object();
    EXPECT_EQ(reply.at("id"), "x");
    EXPECT_EQ(reply.at("error").at("code"), -32000);
    EXPECT_TRUE(std::string(reply.at("error").at("message").as_string()).starts_with("Inkwarden isn't reachable: Cannot connect"))
        << output;
}

TEST(StdioBridgeTest, CarriesASessionToTheRealHost) {
    testing::HostHarness harness;
    harness.start();
    StdioBridge::Options options;  // endpoint and token from the settings the host uses
    auto output = relayLines(options, {kInitialize, R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
                                       R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})",
                                       R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"get_company_profile","arguments":{}}})"});

    std::vector<boost::json::value> replies;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) replies.push_back(boost::json::parse(line));
    ASSERT_EQ(replies.size(), 3u) << output;
    EXPECT_EQ(replies[0].at("result").at("serverInfo").at("name"), "inkwarden");
    EXPECT_EQ(replies[1].at("result").at("tools").as_array().size(), 9u);
    EXPECT_EQ(replies[2].at("id"), 2);
    EXPECT_EQ(replies[2].at("result").at("isError"), false) << output;
    // The name crossed as a percent-encoded header and reads back whole.
    EXPECT_EQ(harness.main.run([&] { return harness.status.lastClient(); }), "Zed Édition 2");
}

TEST(StdioBridgeTest, EndsWhenItsParentIsGoneEvenWithARequestInFlight) {
    int input[2], output[2], release[2], endpoint[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::pipe(output), 0);
    ASSERT_EQ(::pipe(release), 0);
    ASSERT_EQ(::pipe(endpoint), 0);
    std::string line = "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n";
    ASSERT_EQ(::write(input[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));

    // Both processes are forked before the fake application starts its thread: a fork of a
    // threaded process may inherit a lock held by another thread (the sanitizers' allocator).
    pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        // The relay's parent, which lives until the test lets it go. The input stays open in
        // the test, so only the parent check can end the relay.
        ::close(endpoint[1]);
        if (::fork() == 0) {
            std::string url;
            char byte;
            while (::read(endpoint[0], &byte, 1) == 1 && byte != '\n') url += byte;
            auto options = optionsFor(url);
            options.parentCheckInterval = 20ms;
            options.input = input[0];
            options.output = output[1];
            StdioBridge(options).run();
            ::_exit(0);
        }
        char byte;
        auto got = ::read(release[0], &byte, 1);
        ::_exit(got == 1 ? 0 : 1);
    }
    ::close(output[1]);
    ::close(release[0]);
    ::close(endpoint[0]);

    std::atomic<bool> received = false;
    FakeApplication app([&](const RecordedRequest&, std::size_t) {
        received = true;
        return Answer::after(600s);  // answered long after the test
    });
    auto url = app.endpoint() + "\n";
    ASSERT_EQ(::write(endpoint[1], url.data(), url.size()), static_cast<ssize_t>(url.size()));

    for (auto until = std::chrono::steady_clock::now() + 20s; !received && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(received);
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = -1;
    ASSERT_EQ(::waitpid(parent, &status, 0), parent);
    EXPECT_EQ(status, 0);

    // The relay's end closes the last writer of its output: end of file, with nothing written.
    pollfd watch{output[0], POLLIN, 0};
    ASSERT_EQ(::poll(&watch, 1, 20000), 1) << "the relay outlived its parent";
    char buffer[256];
    EXPECT_EQ(::read(output[0], buffer, sizeof buffer), 0);
    for (int fd : {input[0], input[1], output[0], release[1], endpoint[1]}) ::close(fd);
}

}  // namespace
}  // namespace inkwarden
