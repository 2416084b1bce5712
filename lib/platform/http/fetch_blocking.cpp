#include "platform/http/fetch_blocking.hpp"

#include "platform/async/task.hpp"

#include <boost/asio/io_context.hpp>

namespace platform::http {

namespace asio = boost::asio;

void runBlocking(const std::function<asio::awaitable<void>(asio::any_io_executor)>& operation,
                 std::chrono::steady_clock::duration limit) {
    asio::io_context io;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto task = spawnDetached(io.get_executor(), operation(io.get_executor()));
    while (!task.isFinished() && io.run_one_until(deadline) != 0) {
    }
    if (!task.isFinished()) {
        task.cancel();
        // Cancelled, the task closes its connections and ends within a few turns.
        io.run_for(std::chrono::seconds(1));
        throw HttpError(HttpError::Kind::timedOut, "The request timed out");
    }
    task.get();
}

BufferedResponse fetchBlocking(Request request, BlockingOptions options) {
    // The request's own deadline ends the exchange with its own error; the limit is a safety net.
    const auto deadline = std::chrono::steady_clock::now() + options.limit;
    if (!request.deadline || *request.deadline > deadline) request.deadline = deadline;
    BufferedResponse reply;
    runBlocking(
        [&](asio::any_io_executor executor) -> asio::awaitable<void> {
            Client client(executor, options.client);
            reply = co_await client.fetch(std::move(request), options.maxBodyBytes);
        },
        options.limit + std::chrono::seconds(1));
    return reply;
}

}  // namespace platform::http
