#pragma once

#include "platform/http/client.hpp"

#include <chrono>

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
/// auto reply = platform::http::fetchBlocking({.url = boost::urls::url("https://example.org/latest")});
/// if (reply.status == 200) use(reply.body);
/// @endcode
BufferedResponse fetchBlocking(Request request, BlockingOptions options = {});

}  // namespace platform::http
