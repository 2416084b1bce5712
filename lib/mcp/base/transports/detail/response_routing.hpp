#pragma once

#include <string>

#include <boost/asio/awaitable.hpp>

#include "mcp/base/id.hpp"

namespace mcp {

/// Implemented by a transport that routes each response to the request it answers, as the HTTP
/// server transports do. The server engine knows the id it answers and hands it over with the
/// text, so the transport need not read a large answer again only to find its id.
class ResponseRouting {
public:
    virtual ~ResponseRouting() = default;

    /// As `Transport::send` for one encoded response to the request `id`.
    virtual boost::asio::awaitable<void> sendResponse(const ID& id, std::string data) = 0;
};

}  // namespace mcp
