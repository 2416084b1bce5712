#include "mcp/base/transports/stdio_transport.hpp"

#include "mcp/base/mcp_error.hpp"
#include "mcp/server/server.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/task.hpp"
#include "platform/json/parse.hpp"
#include "support/capturing_log_handler.hpp"
#include "support/run_async.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mcp {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using testing_support::CapturingLogHandler;
using testing_support::runAsync;

/// Two descriptors closed at the end of the test.
struct Descriptors {
    int fds[2] = {-1, -1};
    Descriptors() = default;
    Descriptors(Descriptors&& other) noexcept : fds{std::exchange(other.fds[0], -1), std::exchange(other.fds[1], -1)} {}
    ~Descriptors() {
        for (int fd : fds)
            if (fd >= 0) ::close(fd);
    }
    int& operator[](int i) { return fds[i]; }
    void close(int i) {
        ::close(fds[i]);
        fds[i] = -1;
    }
};

Descriptors makePipe() {
    Descriptors d;
    if (::pipe(d.fds) != 0) throw std::system_error(errno, std::generic_category());
    return d;
}

Descriptors makeSocketPair() {
    Descriptors d;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, d.fds) != 0) throw std::system_error(errno, std::generic_category());
    return d;
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        auto n = ::write(fd, bytes.data(), bytes.size());
        ASSERT_GT(n, 0);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

/// Waits until the transport has read everything written to `fd` so far, so the next write lands
/// in a read of its own.
asio::awaitable<void> drained(int fd) {
    for (int i = 0; i < 5000; ++i) {
        int pending = 0;
        ::ioctl(fd, FIONREAD, &pending);
        if (pending == 0) co_return;
        co_await platform::sleepFor(1ms);
    }
    ADD_FAILURE() << "the transport did not read its input";
}

asio::awaitable<std::vector<std::string>> collect(platform::AsyncStream<std::string> stream) {
    std::vector<std::string> got;
    while (auto next = co_await stream.next()) got.push_back(std::move(*next));
    co_return got;
}

std::shared_ptr<StdioTransport> transportOn(int input, int output, std::optional<logging::Logger> logger = std::nullopt) {
    auto transport = std::make_shared<StdioTransport>(input, output, std::move(logger));
    transport->pollInterval = 1ms;
    return transport;
}

struct SplitCase {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> messages;
};

TEST(StdioTransportTest, SplitsLinesWhateverTheReads) {
    const std::string longLine(10 * 1024, 'x');
    const std::vector<SplitCase> cases{
        {"empty lines skipped", {"a\n\nb\n"}, {"a", "b"}},
        {"several in one read", {"1\n2\n3\n"}, {"1", "2", "3"}},
        {"carriage return kept", {"{\"x\":1}\r\n"}, {"{\"x\":1}\r"}},
        {"split across reads", {"ab", "c\nd", "e\n"}, {"abc", "de"}},
        {"last line without a line feed dropped", {"one\ntw", "o"}, {"one"}},
        {"ten kilobytes", {longLine.substr(0, 5000), longLine.substr(5000) + "\n"}, {longLine}},
        {"one byte at a time", {"x", "\n", "\n", "y", "z", "\r", "\n"}, {"x", "yz\r"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CapturingLogHandler log;
        auto input = makePipe();
        auto output = makePipe();
        auto got = runAsync([&]() -> asio::awaitable<std::vector<std::string>> {
            auto transport = transportOn(input[0], output[1], log.logger());
            co_await transport->connect();
            auto executor = co_await asio::this_coro::executor;
            auto reader = platform::spawn(executor, collect(transport->receive()));
            for (const auto& bytes : c.reads) {
                writeAll(input[1], bytes);
                co_await drained(input[0]);
            }
            input.close(1);
            auto messages = co_await reader.value();
            co_await transport->disconnect();
            co_return messages;
        });
        EXPECT_EQ(got, c.messages);
        EXPECT_EQ(log.countOf(logging::Level::notice, "EOF received"), 1u) << log.dump();
        EXPECT_EQ(log.countOf(logging::Level::trace, "Message received"), c.messages.size());
    }
}

TEST(StdioTransportTest, AServerAnswersOverASocketPair) {
    auto sockets = makeSocketPair();
    runAsync([&]() -> asio::awaitable<void> {
        auto transport = transportOn(sockets[0], sockets[0]);
        auto server = Server::create("stdio-test", "1.0");
        co_await server->start(transport);
        writeAll(sockets[1], "{\"jsonrpc\":\"2.0\",\"id\":5,\"method\":\"ping\"}\n");
        std::string answer;
        for (int i = 0; i < 5000 && answer.find('\n') == std::string::npos; ++i) {
            char buffer[256];
            auto n = ::recv(sockets[1], buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                answer.append(buffer, static_cast<std::size_t>(n));
            } else {
                co_await platform::sleepFor(1ms);
            }
        }
        EXPECT_FALSE(answer.empty());
        if (!answer.empty() && answer.back() == '\n') answer.pop_back();
        EXPECT_EQ(platform::json::parse(answer), platform::json::parse(R"({"jsonrpc":"2.0","id":5,"result":{}})"));
        co_await server->stop();
    });
}

TEST(StdioTransportTest, ALargeMessageIsWrittenWholeToASlowReader) {
    auto output = makePipe();
    auto input = makePipe();
    const std::string message(100000, 'm');
    std::string received;
    runAsync([&]() -> asio::awaitable<void> {
        auto transport = transportOn(input[0], output[1]);
        co_await transport->connect();
        auto executor = co_await asio::this_coro::executor;
        // Two sends at once: the second waits for the first, so their bytes never mix.
        auto first = platform::spawn(executor, transport->send(message));
        auto second = platform::spawn(executor, transport->send("after"));
        ::fcntl(output[0], F_SETFL, O_NONBLOCK);
        const std::size_t expected = message.size() + 1 + 6;
        for (int i = 0; i < 20000 && received.size() < expected; ++i) {
            char buffer[7000];
            auto n = ::read(output[0], buffer, sizeof buffer);
            if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
            co_await platform::sleepFor(1ms);
        }
        co_await first.value();
        co_await second.value();
        co_await transport->disconnect();
    });
    EXPECT_EQ(received, message + "\nafter\n");
}

TEST(StdioTransportTest, FailuresAreTransportErrorsWithTheSystemError) {
    auto pipe = makePipe();
    CapturingLogHandler log;
    runAsync([&]() -> asio::awaitable<void> {
        auto unconnected = transportOn(pipe[0], pipe[1]);
        try {
            co_await unconnected->send("x");
            ADD_FAILURE() << "sent while not connected";
        } catch (const MCPError& e) {
            EXPECT_EQ(e.code(), MCPError::transportErrorCode);
            EXPECT_EQ(std::string(e.what()), "Transport error: " + std::generic_category().message(ENOTCONN));
        }

        auto bad = transportOn(-1, pipe[1]);
        try {
            co_await bad->connect();
            ADD_FAILURE() << "connected to a closed descriptor";
        } catch (const MCPError& e) {
            EXPECT_EQ(std::string(e.what()), "Transport error: " + std::generic_category().message(EBADF));
        }
        EXPECT_FALSE(bad->isConnected());

        // Reading from the pipe's write end fails: the stream ends normally after the error line.
        auto unreadable = transportOn(pipe[1], pipe[1], log.logger());
        co_await unreadable->connect();
        co_await unreadable->connect();  // one read loop only
        auto lines = co_await collect(unreadable->receive());
        EXPECT_EQ(lines.size(), 0u);
        EXPECT_EQ(log.countOf(logging::Level::error, "Read error occurred"), 1u) << log.dump();
        EXPECT_EQ(log.first(logging::Level::error, "Read error occurred")->metadataText("error"),
                  std::generic_category().message(EBADF));
        // The input has ended, but the transport still writes.
        co_await unreadable->send("still");
        co_await unreadable->disconnect();
    });
    char buffer[16] = {};
    EXPECT_EQ(::read(pipe[0], buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "still\n");
}

TEST(StdioTransportTest, DisconnectEndsTheStreamAndLeavesTheDescriptorsOpen) {
    auto input = makePipe();
    auto output = makePipe();
    runAsync([&]() -> asio::awaitable<void> {
        auto transport = transportOn(input[0], output[1]);
        co_await transport->connect();
        auto stream = transport->receive();
        co_await transport->disconnect();
        auto end = co_await stream.next();
        EXPECT_EQ(end, std::nullopt);
    });
    EXPECT_EQ(::fcntl(input[0], F_GETFL) & O_NONBLOCK, O_NONBLOCK);
    EXPECT_NE(::fcntl(output[1], F_GETFL), -1);
}

}  // namespace
}  // namespace mcp
