#pragma once

#include "platform/http/client.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>

#include <chrono>
#include <functional>

namespace platform::http {

struct BlockingOptions {
    ClientOptions client;
    /// Most time for the whole exchange, body included; HttpError timedOut past it.
    std::chrono::steady_clock::duration limit = std::chrono::seconds(60);
    std::size_t maxBodyBytes = 64 * 1024 * 1024;
};

/// Sends `request` and reads the whole reply on a private io_context run by the calling thread,
/// for callers outside any coroutine. Throws HttpError as Client does.
///
/// @par Example
/// @code
/// platform::http::Request request;
/// request.url = boost::urls::url("https://example.org/latest");
/// auto reply = platform::http::fetchBlocking(std::move(request));
/// if (reply.status == 200) use(reply.body);
/// @endcode
BufferedResponse fetchBlocking(Request request, BlockingOptions options = {});

/// Runs the coroutine made by `operation` as a task on a private io_context run by the calling
/// thread until it ends, and rethrows its error. Past `limit` the task is cancelled and
/// HttpError timedOut is thrown. For blocking callers that stream a body as it arrives:
///
/// @par Example
/// @code
/// platform::http::runBlocking([&](boost::asio::any_io_executor executor) -> boost::asio::awaitable<void> {
///     platform::http::Client client(executor);
///     auto response = co_await client.send(request);
///     while (auto chunk = co_await response.body.next()) std::fwrite(chunk->data(), 1, chunk->size(), stdout);
/// }, std::chrono::minutes(5));
/// @endcode
void runBlocking(const std::function<boost::asio::awaitable<void>(boost::asio::any_io_executor)>& operation,
                 std::chrono::steady_clock::duration limit);

}  // namespace platform::http
