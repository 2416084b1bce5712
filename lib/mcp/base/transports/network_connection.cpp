#include "mcp/base/transports/network_connection.hpp"

#include <algorithm>
#include <utility>

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/write.hpp>

#include <openssl/ssl.h>

namespace mcp {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// One opened socket with its own write queue; a restart makes a new one, so completions of the
// old one never touch the new.
struct TcpNetworkConnection::Socket {
    Socket(const asio::any_io_executor& executor, const std::shared_ptr<asio::ssl::context>& tls)
        : resolver(executor), plain(executor) {
        if (tls) secure.emplace(executor, *tls);
    }

    tcp::socket& lowest() { return secure ? secure->next_layer() : plain; }

    template <class F>
    void with(F&& f) {
        if (secure) f(*secure);
        else f(plain);
    }

    void close() {
        boost::system::error_code ignored;
        resolver.cancel();
        lowest().shutdown(tcp::socket::shutdown_both, ignored);
        lowest().close(ignored);
    }

    tcp::resolver resolver;
    tcp::socket plain;
    std::optional<asio::ssl::stream<tcp::socket>> secure;
    std::deque<PendingWrite> writes;
    bool writing = false;
};

std::shared_ptr<TcpNetworkConnection> TcpNetworkConnection::create(asio::any_io_executor executor, std::string host,
                                                                   std::uint16_t port,
                                                                   std::shared_ptr<asio::ssl::context> tls) {
    return std::shared_ptr<TcpNetworkConnection>(
        new TcpNetworkConnection(std::move(executor), std::move(host), port, std::move(tls)));
}

TcpNetworkConnection::TcpNetworkConnection(asio::any_io_executor executor, std::string host, std::uint16_t port,
                                           std::shared_ptr<asio::ssl::context> tls)
    : executor_(std::move(executor)), host_(std::move(host)), port_(port), tls_(std::move(tls)) {}

void TcpNetworkConnection::report(State state) {
    state_ = state;
    if (stateHandler_) {
        auto handler = stateHandler_;
        handler(state);
    }
}

void TcpNetworkConnection::fail(std::uint64_t generation, std::error_code error) {
    if (generation != generation_) return;
    if (socket_) socket_->close();
    report({State::Kind::failed, error});
}

void TcpNetworkConnection::start() {
    if (socket_) socket_->close();
    const auto generation = ++generation_;
    auto socket = std::make_shared<Socket>(executor_, tls_);
    socket_ = socket;
    report({State::Kind::preparing, {}});
    auto self = shared_from_this();
    socket->resolver.async_resolve(
        host_, std::to_string(port_),
        [self, socket, generation](boost::system::error_code ec, tcp::resolver::results_type results) {
            if (generation != self->generation_) return;
            if (ec) return self->fail(generation, ec);
            asio::async_connect(
                socket->lowest(), results, [self, socket, generation](boost::system::error_code ec, const tcp::endpoint&) {
                    if (generation != self->generation_) return;
                    if (ec) return self->fail(generation, ec);
                    boost::system::error_code ignored;
                    socket->lowest().set_option(tcp::no_delay(true), ignored);
                    if (!socket->secure) return self->report({State::Kind::ready, {}});
                    auto& stream = *socket->secure;
                    stream.set_verify_mode(asio::ssl::verify_peer);
                    stream.set_verify_callback(asio::ssl::host_name_verification(self->host_));
                    SSL_set_tlsext_host_name(stream.native_handle(), self->host_.c_str());
                    stream.async_handshake(asio::ssl::stream_base::client,
                                           [self, socket, generation](boost::system::error_code ec) {
                                               if (generation != self->generation_) return;
                                               if (ec) return self->fail(generation, ec);
                                               self->report({State::Kind::ready, {}});
                                           });
                });
        });
}

void TcpNetworkConnection::cancel() {
    ++generation_;
    if (socket_) socket_->close();
    report({State::Kind::cancelled, {}});
}

void TcpNetworkConnection::send(std::string content, SendCompletion completion) {
    if (!socket_ || state_.kind != State::Kind::ready) {
        asio::post(executor_, [completion = std::move(completion)] {
            completion(std::make_error_code(std::errc::not_connected));
        });
        return;
    }
    socket_->writes.push_back({std::move(content), std::move(completion)});
    if (!socket_->writing) writeNext(socket_);
}

void TcpNetworkConnection::writeNext(std::shared_ptr<Socket> socket) {
    if (socket->writes.empty()) {
        socket->writing = false;
        return;
    }
    socket->writing = true;
    auto bytes = std::make_shared<std::string>(std::move(socket->writes.front().bytes));
    socket->with([&](auto& stream) {
        asio::async_write(stream, asio::buffer(*bytes),
                          [self = shared_from_this(), socket, bytes](boost::system::error_code ec, std::size_t) {
                              auto completion = std::move(socket->writes.front().completion);
                              socket->writes.pop_front();
                              if (ec) completion(std::error_code(ec));
                              else completion(std::nullopt);
                              self->writeNext(socket);
                          });
    });
}

void TcpNetworkConnection::receive(std::size_t minimum, std::size_t maximum, ReceiveCompletion completion) {
    (void)minimum;  // a read always brings at least one byte
    auto socket = socket_;
    if (!socket) {
        asio::post(executor_, [completion = std::move(completion)] {
            completion(std::nullopt, false, std::make_error_code(std::errc::not_connected));
        });
        return;
    }
    auto buffer = std::make_shared<std::string>(std::clamp<std::size_t>(maximum, 1, readChunkSize), '\0');
    socket->with([&](auto& stream) {
        stream.async_read_some(asio::buffer(*buffer), [socket, buffer, completion = std::move(completion)](
                                                           boost::system::error_code ec, std::size_t n) {
            if (ec == asio::error::eof || ec == asio::ssl::error::stream_truncated) {
                completion(std::nullopt, true, std::nullopt);
            } else if (ec) {
                completion(std::nullopt, false, std::error_code(ec));
            } else {
                buffer->resize(n);
                completion(std::move(*buffer), false, std::nullopt);
            }
        });
    });
}

}  // namespace mcp
