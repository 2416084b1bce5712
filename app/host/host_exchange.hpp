#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <boost/asio/awaitable.hpp>

#include "host/host_status.hpp"
#include "host/tools.hpp"
#include "mcp/base/http_request.hpp"
#include "mcp/base/transports/http_server/http_response.hpp"
#include "platform/main_thread.hpp"

namespace inkwarden {

/// Turns one HTTP request the host has read into its response, through a fresh validation
/// pipeline, stateless transport and server engine that live for this request alone. Records the
/// AI client that names itself, once its token has been accepted.
///
/// Runs on the runtime thread; status and settings changes hop to the main thread and are
/// awaited. Concurrent exchanges share nothing but the status, the settings and the tools.
class HostExchange {
public:
    /// `tools` and what it refers to must outlive every exchange.
    HostExchange(MainThread& mainThread, HostStatus& status, const Tools& tools);

    /// The whole exchange; never throws (a failure is an error response).
    boost::asio::awaitable<mcp::HTTPResponse> handle(mcp::HTTPRequest request, std::string token) const;

    /// The server's instructions to the client: five paragraphs.
    static const std::string& instructions();

    /// `text` with every "%XX" decoded; none when a "%" lacks two hex digits or the result is no
    /// UTF-8. "+" stays as it is.
    static std::optional<std::string> percentDecoded(std::string_view text);

private:
    boost::asio::awaitable<void> noteClient(std::string name) const;
    boost::asio::awaitable<void> noteInitializedClient(std::string name) const;

    MainThread& mainThread_;
    HostStatus& status_;
    const Tools& tools_;
};

}  // namespace inkwarden
