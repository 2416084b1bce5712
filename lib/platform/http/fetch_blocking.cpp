#include "platform/http/fetch_blocking.hpp"

#include "platform/async/task.hpp"

#include <boost/asio/io_context.hpp>

namespace platform::http {

namespace asio = boost::asio;

namespace {

asio::awaitable<BufferedResponse> fetchOn(asio::any_io_executor executor, Request request, BlockingOptions options) {
    Client client(executor, options.client);
    co_return co_await client.fetch(std::move(request), options.maxBodyBytes);
}

}  // namespace

BufferedResponse fetchBlocking(Request request, BlockingOptions options) {
    asio::io_context io;
    const auto deadline = std::chrono::steady_clock::now() + options.limit;
    if (!request.deadline || *request.deadline > deadline) request.deadline = deadline;
    auto task = spawnDetached(io.get_executor(), fetchOn(io.get_executor(), std::move(request), options));
    // The request's own deadline ends the exchange; running past it is only a safety net.
    while (!task.isFinished() && io.run_one_until(deadline + std::chrono::seconds(1)) != 0) {
    }
    if (!task.isFinished()) {
        task.cancel();
        io.run_for(std::chrono::seconds(1));
        if (!task.isFinished()) throw HttpError(HttpError::Kind::timedOut, "The request timed out");
    }
    try {
        return task.get();
    } catch (const CancellationError&) {
        throw HttpError(HttpError::Kind::timedOut, "The request timed out");
    }
}

}  // namespace platform::http
