#pragma once

#include <string>

#include <boost/asio/awaitable.hpp>

#include "logging/logger.hpp"
#include "platform/async/async_stream.hpp"

namespace mcp {

/// A message channel to one peer, as the engines use it. It moves bytes only: each buffer passed
/// to `send` and each element of the `receive` stream is one whole JSON text, one JSON-RPC object
/// or one JSON array batch; framing is the implementation's business.
///
/// Implementations are confined to their runtime thread and interleave only at their own
/// suspensions; `send` may be called from several tasks at once and delivers each buffer whole.
/// Held through std::shared_ptr.
class Transport {
public:
    virtual ~Transport() = default;

    /// The logger through which the transport, and the engine that drives it, report what happens
    /// on this channel.
    virtual logging::Logger logger() const = 0;

    /// Makes the channel ready; called once, before anything else. Throws when it cannot.
    virtual boost::asio::awaitable<void> connect() = 0;

    /// Closes the channel; called once, at the end. Never throws: a failure while closing is
    /// handled inside.
    virtual boost::asio::awaitable<void> disconnect() = 0;

    /// Delivers one encoded message or batch to the peer. Throws when it cannot.
    virtual boost::asio::awaitable<void> send(std::string data) = 0;

    /// The incoming messages; ends when the channel closes, normally or with an error. Does not
    /// wait, and every call gives the same stream.
    virtual platform::AsyncStream<std::string> receive() = 0;
};

}  // namespace mcp
