#pragma once

#include "platform/http/http_error.hpp"
#include "platform/http/request.hpp"
#include "support/loopback_http_server.hpp"
#include "support/run_async.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>

#include <optional>
#include <string>

namespace testing_support {

inline platform::http::Request get(const std::string& url) {
    platform::http::Request request;
    request.url = boost::urls::url(url);
    return request;
}

/// Runs `body` with a loopback server answering by `handler` on the same runtime thread.
template <class Body>
void withServer(LoopbackHttpServer::Handler handler, Body body, std::optional<TestCertificate> certificate = {},
                bool keepAlive = false) {
    boost::asio::io_context io;
    LoopbackHttpServer server(io.get_executor(), std::move(handler), std::move(certificate));
    server.setKeepAlive(keepAlive);
    runAsync(io, [&]() -> boost::asio::awaitable<void> { co_await body(server, io.get_executor()); });
}

/// The error `awaitable` fails with, or nothing when it succeeds.
template <class Error = platform::http::HttpError, class Awaitable>
boost::asio::awaitable<std::optional<Error>> failureOf(Awaitable awaitable) {
    try {
        co_await std::move(awaitable);
    } catch (const Error& error) {
        co_return error;
    }
    co_return std::nullopt;
}

}  // namespace testing_support
