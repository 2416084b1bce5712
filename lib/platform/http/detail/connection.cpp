#include "platform/http/detail/connection.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/http/http_error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <openssl/ssl.h>

#include <algorithm>
#include <string_view>

namespace platform::http::detail {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kChunkBytes = 16 * 1024;
constexpr std::uint32_t kHeaderLimit = 64 * 1024;

constexpr auto asTuple = asio::as_tuple(asio::use_awaitable);

bool isBodyMethod(std::string_view method) { return method == "POST" || method == "PUT" || method == "PATCH"; }

std::string_view defaultPort(std::string_view scheme) { return scheme == "https" ? "443" : "80"; }

}  // namespace

Connection::Connection(asio::any_io_executor executor, std::shared_ptr<asio::ssl::context> tls)
    : executor_(std::move(executor)), tls_(std::move(tls)), resolver_(executor_) {}

beast::tcp_stream& Connection::lowest() { return secure_ ? beast::get_lowest_layer(*secure_) : *plain_; }

void Connection::armTimer() {
    auto expiry = Clock::now() + timeout_;
    if (deadline_) expiry = std::min(expiry, *deadline_);
    lowest().expires_at(expiry);
}

void Connection::close() {
    resolver_.cancel();
    // The stream's own close: resetting its expiry would assert while a connect, which counts as
    // both a read and a write, is pending.
    if (secure_ || plain_) lowest().close();
}

void Connection::cancel() {
    if (finished_) return;
    cancelled_ = true;
    finished_ = true;
    failure_ = std::make_exception_ptr(HttpError(HttpError::Kind::cancelled, "The request to " + host_ + " was cancelled"));
    close();
}

void Connection::fail(boost::system::error_code error, Step step) {
    close();
    finished_ = true;
    failure_ = std::make_exception_ptr(errorFor(error, step));
    checkCancellation();
    std::rethrow_exception(failure_);
}

HttpError Connection::errorFor(boost::system::error_code error, Step step) const {
    using Kind = HttpError::Kind;
    static constexpr const char* kSteps[] = {"resolving", "connecting to", "securing the connection to", "talking to"};
    const std::string detail = std::string(kSteps[static_cast<int>(step)]) + " " + host_ + ": " + error.message();
    if (cancelled_ || isCancelled()) return HttpError(Kind::cancelled, "The request to " + host_ + " was cancelled", error);
    if (error == beast::error::timeout || error == asio::error::timed_out)
        return HttpError(Kind::timedOut, "The request timed out (" + detail + ")", error);
    switch (step) {
    case Step::resolve: return HttpError(Kind::cannotFindHost, "Cannot find host (" + detail + ")", error);
    case Step::connect: return HttpError(Kind::cannotConnectToHost, "Cannot connect (" + detail + ")", error);
    case Step::handshake:
        return HttpError(Kind::secureConnectionFailed, "Secure connection failed (" + detail + ")", error);
    case Step::exchange: break;
    }
    const bool lost = error == bhttp::error::end_of_stream || error == bhttp::error::partial_message ||
                      error == asio::error::eof || error == asio::ssl::error::stream_truncated ||
                      error.category() == asio::error::get_system_category();
    if (lost) return HttpError(Kind::networkConnectionLost, "The network connection was lost (" + detail + ")", error);
    return HttpError(Kind::badServerResponse, "Bad server response (" + detail + ")", error);
}

template <class Operation>
asio::awaitable<std::size_t> Connection::onStream(Operation operation) {
    beast::error_code error;
    std::size_t transferred = 0;
    if (secure_) {
        auto result = co_await operation(*secure_);
        std::tie(error, transferred) = result;
    } else {
        auto result = co_await operation(*plain_);
        std::tie(error, transferred) = result;
    }
    if (error == bhttp::error::need_buffer) error = {};
    if (error) fail(error, Step::exchange);
    co_return transferred;
}

asio::awaitable<void> Connection::connect(const Request& request) {
    const auto& url = request.url;
    const std::string port = url.has_port() ? std::string(url.port()) : std::string(defaultPort(url.scheme()));

    // The resolver has no time limit of its own.
    asio::steady_timer resolveTimer(executor_);
    auto expiry = Clock::now() + timeout_;
    if (deadline_) expiry = std::min(expiry, *deadline_);
    resolveTimer.expires_at(expiry);
    auto resolveTimedOut = std::make_shared<bool>(false);
    resolveTimer.async_wait([self = shared_from_this(), resolveTimedOut](beast::error_code error) {
        if (error) return;
        *resolveTimedOut = true;
        self->resolver_.cancel();
    });
    auto [resolveError, endpoints] = co_await resolver_.async_resolve(host_, port, asTuple);
    resolveTimer.cancel();
    if (*resolveTimedOut) resolveError = beast::error::timeout;
    if (resolveError) fail(resolveError, Step::resolve);

    if (url.scheme() == "https") {
        secure_.emplace(beast::tcp_stream(executor_), *tls_);
    } else {
        plain_.emplace(executor_);
    }
    if (cancelled_) fail(asio::error::operation_aborted, Step::connect);
    armTimer();
    auto [connectError, endpoint] = co_await lowest().async_connect(endpoints, asTuple);
    if (connectError) fail(connectError, Step::connect);

    if (!secure_) co_return;
    auto* ssl = secure_->native_handle();
    const bool isAddress = url.host_type() == boost::urls::host_type::ipv4 ||
                           url.host_type() == boost::urls::host_type::ipv6;
    if (!isAddress && !SSL_set_tlsext_host_name(ssl, host_.c_str())) {
        fail(boost::system::error_code(static_cast<int>(::ERR_get_error()), asio::error::get_ssl_category()),
             Step::handshake);
    }
    secure_->set_verify_mode(asio::ssl::verify_peer);
    secure_->set_verify_callback(asio::ssl::host_name_verification(host_));
    armTimer();
    auto [handshakeError] = co_await secure_->async_handshake(asio::ssl::stream_base::client, asTuple);
    if (handshakeError) fail(handshakeError, Step::handshake);
}

asio::awaitable<Response> Connection::open(const Request& request) {
    auto self = shared_from_this();
    host_ = std::string(request.url.host_address());
    timeout_ = request.timeout;
    deadline_ = request.deadline;
    checkCancellation();
    CancellationHandler onCancel([self] { self->close(); });

    co_await connect(request);

    bhttp::request<bhttp::string_body> message;
    message.version(11);
    message.method_string(request.method);
    const auto target = request.url.encoded_target();
    message.target(target.empty() ? "/" : std::string_view(target));
    for (const auto& [name, value] : request.headers) message.insert(name, value);
    if (!request.headers.contains("Host")) message.set(bhttp::field::host, std::string_view(request.url.encoded_host_and_port()));
    message.body() = request.body;
    if (!request.body.empty() || isBodyMethod(request.method)) message.prepare_payload();

    armTimer();
    co_await onStream([&message](auto& stream) { return bhttp::async_write(stream, message, asTuple); });

    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(boost::none);
    if (request.method == "HEAD") parser_->skip(true);
    armTimer();
    co_await onStream([this](auto& stream) { return bhttp::async_read_header(stream, buffer_, *parser_, asTuple); });

    Response response;
    const auto& head = parser_->get();
    response.status = static_cast<int>(head.result_int());
    response.reason = std::string(head.reason());
    for (const auto& field : head) response.headers.add(field.name_string(), field.value());
    response.url = request.url;
    if (parser_->is_done()) {
        finished_ = true;
        close();
    }
    co_return response;
}

asio::awaitable<std::optional<std::string>> Connection::nextChunk() {
    auto self = shared_from_this();
    for (;;) {
        if (failure_) std::rethrow_exception(failure_);
        if (finished_) co_return std::nullopt;
        checkCancellation();
        std::string chunk(kChunkBytes, '\0');
        auto& body = parser_->get().body();
        body.data = chunk.data();
        body.size = chunk.size();
        armTimer();
        CancellationHandler onCancel([self] { self->close(); });
        co_await onStream([this](auto& stream) { return bhttp::async_read_some(stream, buffer_, *parser_, asTuple); });
        chunk.resize(chunk.size() - parser_->get().body().size);
        if (parser_->is_done()) {
            finished_ = true;
            close();
        }
        if (!chunk.empty()) co_return chunk;
    }
}

}  // namespace platform::http::detail
