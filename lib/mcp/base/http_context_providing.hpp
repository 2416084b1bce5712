#pragma once

#include <memory>

#include <boost/asio/awaitable.hpp>

#include "mcp/base/http_request.hpp"
#include "mcp/base/id.hpp"

namespace mcp {

/// Implemented by a server-side transport that can name the HTTP request that carried a
/// JSON-RPC request. Runs on the transport's own runtime thread.
class HTTPContextProviding {
public:
    virtual ~HTTPContextProviding() = default;

    /// The HTTP request that carried the request with `id` while that request is in flight, without
    /// its body: the server has that as the message itself. Null otherwise. Shared, not copied: it
    /// never changes once stored. Never throws.
    virtual boost::asio::awaitable<std::shared_ptr<const HTTPRequest>> httpRequestContext(ID id) = 0;
};

}  // namespace mcp
