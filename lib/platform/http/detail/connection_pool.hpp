#pragma once

#include "platform/http/detail/connection.hpp"

#include <boost/url/url_view.hpp>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform::http::detail {

/// A client's idle connections, by origin. Only connections whose last exchange ended cleanly
/// rest here; a request takes one out and holds it until its response has been read to its end,
/// so a connection is never shared by two exchanges. Confined to the client's executor.
class ConnectionPool {
public:
    struct Limits {
        std::size_t maxIdlePerOrigin = 6;
        std::chrono::steady_clock::duration idleLifetime = std::chrono::seconds(30);
    };

    explicit ConnectionPool(Limits limits) : limits_(limits) {}

    /// The origin's key: scheme, host name as written (lower case) and port. A TLS connection was
    /// checked against its host name, so it serves only URLs that name the same host.
    static std::string keyOf(const boost::urls::url_view& url);

    /// The most recently used idle connection for `key` that is still quiet and young enough, or
    /// null. Stale ones met on the way are closed.
    std::shared_ptr<Connection> take(const std::string& key);

    /// Keeps `connection` idle for a later request; past the origin's cap the oldest idle one
    /// closes.
    void put(std::shared_ptr<Connection> connection);

    /// Closes every idle connection.
    void clear();

    std::size_t idleCount() const noexcept { return idle_.size(); }

private:
    // Idle connections past their lifetime are closed whenever the pool is used: an idle
    // connection has no pending operation, so no timer keeps the runtime busy for it.
    void dropExpired();

    Limits limits_;
    /// Oldest first.
    std::vector<std::shared_ptr<Connection>> idle_;
};

}  // namespace platform::http::detail
