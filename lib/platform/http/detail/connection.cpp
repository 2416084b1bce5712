#include "platform/http/detail/connection.hpp"

#include <poll.h>

namespace platform::http::detail {

namespace beast = boost::beast;

Connection::Connection(boost::asio::any_io_executor executor, std::string key, bool secure,
                       boost::asio::ssl::context& tls)
    : key_(std::move(key)) {
    if (secure) {
        secure_.emplace(beast::tcp_stream(executor), tls);
    } else {
        plain_.emplace(executor);
    }
}

beast::tcp_stream& Connection::lowest() { return secure_ ? beast::get_lowest_layer(*secure_) : *plain_; }

void Connection::close() {
    closed_ = true;
    // The stream's own close: resetting its expiry would assert while a connect, which counts as
    // both a read and a write, is pending.
    lowest().close();
}

bool Connection::isQuiet() {
    if (closed_ || buffer_.size() != 0) return false;
    auto& socket = lowest().socket();
    if (!socket.is_open()) return false;
    // A poll without waiting costs one system call and needs no pending read on the idle socket.
    pollfd descriptor{socket.native_handle(), POLLIN | POLLRDHUP, 0};
    return ::poll(&descriptor, 1, 0) == 0;
}

}  // namespace platform::http::detail
