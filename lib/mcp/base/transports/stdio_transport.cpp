#include "mcp/base/transports/stdio_transport.hpp"

#include <cerrno>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <boost/asio/this_coro.hpp>

#include "logging/no_op_log_handler.hpp"
#include "mcp/base/mcp_error.hpp"
#include "platform/async/cancellation.hpp"
#include "platform/async/cancellation_error.hpp"

namespace mcp {

namespace asio = boost::asio;

namespace {

MCPError systemError(int code) {
    return MCPError::transportError(std::make_exception_ptr(std::system_error(code, std::generic_category())));
}

void setNonBlocking(int descriptor) {
    int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0) throw systemError(errno);
}

bool wouldBlock(int code) {
    return code == EAGAIN || code == EWOULDBLOCK;
}

ssize_t readRetrying(int descriptor, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(descriptor, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t writeRetrying(int descriptor, const char* bytes, std::size_t size) {
    ssize_t n;
    do {
        n = ::write(descriptor, bytes, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace

StdioTransport::StdioTransport(int input, int output, std::optional<logging::Logger> logger)
    : input_(input),
      output_(output),
      logger_(logger ? std::move(*logger) : logging::Logger("mcp.transport.stdio", logging::NoOpLogHandler())) {}

asio::awaitable<void> StdioTransport::connect() {
    if (connected_) co_return;
    setNonBlocking(input_);
    setNonBlocking(output_);
    connected_ = true;
    logger_.debug("Transport connected successfully");
    auto executor = co_await asio::this_coro::executor;
    readTask_ = platform::spawnDetached(executor, readLoop(weak_from_this()));
}

asio::awaitable<void> StdioTransport::disconnect() {
    if (!connected_) co_return;
    connected_ = false;
    messages_.finish();
    logger_.debug("Transport disconnected");
}

void StdioTransport::consume(const char* bytes, std::size_t count, std::string& pending) {
    pending.append(bytes, count);
    std::size_t start = 0;
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
        std::string_view line(pending.data() + start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        logger_.trace("Message received", {{"size", line.size()}});
        messages_.yield(std::string(line));
    }
    pending.erase(0, start);
}

asio::awaitable<void> StdioTransport::readLoop(std::weak_ptr<StdioTransport> weak) {
    std::vector<char> buffer(readBufferSize, 0);
    std::string pending;
    while (!platform::isCancelled()) {
        auto self = weak.lock();
        if (!self || !self->connected_) break;
        ssize_t n = readRetrying(self->input_, buffer.data(), buffer.size());
        if (n < 0 && wouldBlock(errno)) {
            auto pause = self->pollInterval;
            self.reset();  // held weakly while paused, so dropping the transport ends the loop
            try {
                co_await platform::sleepFor(pause);
            } catch (const platform::CancellationError&) {
                // The next pass's cancellation test ends the loop.
            }
            continue;
        }
        if (n < 0) {
            int code = errno;
            if (!platform::isCancelled()) {
                self->logger_.error("Read error occurred",
                                    {{"error", std::error_code(code, std::generic_category()).message()}});
            }
            self->messages_.finish();
            co_return;
        }
        if (n == 0) {
            self->logger_.notice("EOF received");
            self->messages_.finish();
            co_return;
        }
        self->consume(buffer.data(), static_cast<std::size_t>(n), pending);
    }
    // What is left of an unfinished line is dropped with the loop's state.
    if (auto self = weak.lock()) self->messages_.finish();
}

asio::awaitable<void> StdioTransport::send(std::string data) {
    if (!connected_) throw systemError(ENOTCONN);
    data.push_back('\n');
    if (writing_) {
        platform::OneShot<void> turn;
        writeQueue_.push_back(turn);
        co_await turn.wait();
    }
    writing_ = true;
    std::exception_ptr failure;
    try {
        co_await writeAll(data);
    } catch (...) {
        failure = std::current_exception();
    }
    // The next sender's turn, whatever became of this one.
    if (writeQueue_.empty()) {
        writing_ = false;
    } else {
        auto next = std::move(writeQueue_.front());
        writeQueue_.pop_front();
        next.resume();
    }
    if (failure) std::rethrow_exception(failure);
}

asio::awaitable<void> StdioTransport::writeAll(const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = writeRetrying(output_, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) continue;
        int code = errno;
        if (!wouldBlock(code)) throw systemError(code);
        co_await platform::sleepFor(pollInterval);
    }
}

}  // namespace mcp
