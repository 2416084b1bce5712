#include "platform/http/detail/connection_pool.hpp"

#include <algorithm>
#include <cctype>

namespace platform::http::detail {

std::string ConnectionPool::keyOf(const boost::urls::url_view& url) {
    std::string key(url.scheme());
    key += "://";
    for (char c : url.host_address()) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    key += ':';
    if (url.has_port()) {
        key += url.port();
    } else {
        key += url.scheme() == "https" ? "443" : "80";
    }
    return key;
}

void ConnectionPool::dropExpired() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(idle_, [&](const auto& connection) {
        if (now - connection->idleSince < limits_.idleLifetime) return false;
        connection->close();
        return true;
    });
}

std::shared_ptr<Connection> ConnectionPool::take(const std::string& key) {
    dropExpired();
    for (auto index = idle_.size(); index-- > 0;) {
        if (idle_[index]->key() != key) continue;
        auto connection = std::move(idle_[index]);
        idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(index));
        if (connection->isQuiet()) return connection;
        connection->close();
    }
    return nullptr;
}

void ConnectionPool::put(std::shared_ptr<Connection> connection) {
    dropExpired();
    connection->idleSince = std::chrono::steady_clock::now();
    const auto key = connection->key();
    idle_.push_back(std::move(connection));
    auto sameOrigin = [&key](const auto& idle) { return idle->key() == key; };
    if (static_cast<std::size_t>(std::count_if(idle_.begin(), idle_.end(), sameOrigin)) <= limits_.maxIdlePerOrigin)
        return;
    auto oldest = std::find_if(idle_.begin(), idle_.end(), sameOrigin);
    (*oldest)->close();
    idle_.erase(oldest);
}

void ConnectionPool::clear() {
    for (const auto& connection : idle_) connection->close();
    idle_.clear();
}

}  // namespace platform::http::detail
