#pragma once

#include <string>

#include <boost/asio/awaitable.hpp>

namespace mcp {

/// Implemented by a client-side transport that carries the negotiated protocol version in what it
/// sends (an HTTP header, for instance). The client engine hands it the version the server
/// answered in each handshake. Runs on the transport's own runtime thread.
class ProtocolVersionReceiving {
public:
    virtual ~ProtocolVersionReceiving() = default;

    /// Stores the version for every later message. Never throws.
    virtual boost::asio::awaitable<void> setProtocolVersion(std::string version) = 0;
};

}  // namespace mcp
