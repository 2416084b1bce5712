#include "platform/http/detail/exchange.hpp"

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

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// True when the comma-separated list `value` holds `token`.
bool hasToken(std::string_view value, std::string_view token) {
    for (;;) {
        const auto comma = value.find(',');
        if (equalsIgnoringCase(trimmed(value.substr(0, comma)), token)) return true;
        if (comma == std::string_view::npos) return false;
        value.remove_prefix(comma + 1);
    }
}

// The connection ended under the exchange: closed, reset or cut short.
bool isConnectionLost(beast::error_code error) {
    if (error == asio::error::operation_aborted || error == asio::error::timed_out) return false;
    return error == bhttp::error::end_of_stream || error == asio::error::eof ||
           error == asio::ssl::error::stream_truncated || error.category() == asio::error::get_system_category();
}

}  // namespace

Exchange::Exchange(asio::any_io_executor executor, std::shared_ptr<asio::ssl::context> tls,
                   std::weak_ptr<ConnectionPool> pool)
    : executor_(std::move(executor)), tls_(std::move(tls)), pool_(std::move(pool)), resolver_(executor_) {}

void Exchange::armTimer() {
    auto expiry = Clock::now() + timeout_;
    if (deadline_) expiry = std::min(expiry, *deadline_);
    connection_->lowest().expires_at(expiry);
}

void Exchange::close() {
    resolver_.cancel();
    if (connection_) connection_->close();
}

void Exchange::cancel() {
    if (finished_) return;
    cancelled_ = true;
    finished_ = true;
    failure_ = std::make_exception_ptr(HttpError(HttpError::Kind::cancelled, "The request to " + host_ + " was cancelled"));
    close();
}

void Exchange::fail(boost::system::error_code error, Step step) {
    close();
    finished_ = true;
    failure_ = std::make_exception_ptr(errorFor(error, step));
    checkCancellation();
    std::rethrow_exception(failure_);
}

HttpError Exchange::errorFor(boost::system::error_code error, Step step) const {
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
asio::awaitable<beast::error_code> Exchange::onStream(Operation operation) {
    // The connection outlives the operation even if the exchange lets go of it meanwhile.
    auto connection = connection_;
    beast::error_code error;
    if (connection->isSecure()) {
        auto result = co_await operation(connection->secure(), connection->buffer());
        error = std::get<0>(result);
    } else {
        auto result = co_await operation(connection->plain(), connection->buffer());
        error = std::get<0>(result);
    }
    if (error == bhttp::error::need_buffer) error = {};
    co_return error;
}

asio::awaitable<void> Exchange::connect(const Request& request) {
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

    connection_ = std::make_shared<Connection>(executor_, ConnectionPool::keyOf(url), url.scheme() == "https", *tls_);
    if (cancelled_) fail(asio::error::operation_aborted, Step::connect);
    armTimer();
    auto [connectError, endpoint] = co_await connection_->lowest().async_connect(endpoints, asTuple);
    if (connectError) fail(connectError, Step::connect);

    if (!connection_->isSecure()) co_return;
    auto& secure = connection_->secure();
    const bool isAddress = url.host_type() == boost::urls::host_type::ipv4 ||
                           url.host_type() == boost::urls::host_type::ipv6;
    if (!isAddress && !SSL_set_tlsext_host_name(secure.native_handle(), host_.c_str())) {
        fail(boost::system::error_code(static_cast<int>(::ERR_get_error()), asio::error::get_ssl_category()),
             Step::handshake);
    }
    secure.set_verify_mode(asio::ssl::verify_peer);
    secure.set_verify_callback(asio::ssl::host_name_verification(host_));
    armTimer();
    auto [handshakeError] = co_await secure.async_handshake(asio::ssl::stream_base::client, asTuple);
    if (handshakeError) fail(handshakeError, Step::handshake);
}

asio::awaitable<beast::error_code> Exchange::writeAndReadHead(const Request& request) {
    bhttp::request<bhttp::string_body> message;
    message.version(11);
    message.method_string(request.method);
    const auto target = request.url.encoded_target();
    message.target(target.empty() ? "/" : std::string_view(target));
    for (const auto& [name, value] : request.headers) message.insert(name, value);
    if (!request.headers.contains("Host")) message.set(bhttp::field::host, std::string_view(request.url.encoded_host_and_port()));
    message.body() = request.body;
    if (!request.body.empty() || isBodyMethod(request.method)) message.prepare_payload();

    parser_.reset();
    armTimer();
    auto error = co_await onStream(
        [&message](auto& stream, auto&) { return bhttp::async_write(stream, message, asTuple); });
    if (error) co_return error;

    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(boost::none);
    if (request.method == "HEAD") parser_->skip(true);
    armTimer();
    error = co_await onStream(
        [this](auto& stream, auto& buffer) { return bhttp::async_read_header(stream, buffer, *parser_, asTuple); });
    co_return error;
}

bool Exchange::mayRetry(beast::error_code error) const {
    if (!reused_ || cancelled_ || isCancelled()) return false;
    const bool answerStarted = (parser_ && parser_->got_some()) || connection_->buffer().size() != 0;
    return !answerStarted && isConnectionLost(error);
}

void Exchange::finish() {
    if (cancelled_) return;  // cancel() closed the connection
    finished_ = true;
    auto connection = std::move(connection_);
    auto pool = pool_.lock();
    // A body that ends with the connection leaves nothing to reuse; HTTP/1.0 peers are not trusted
    // to keep a connection open, whatever they say.
    const bool reusable = pool && requestAllowsReuse_ && parser_->get().version() == 11 && parser_->keep_alive() &&
                          !parser_->need_eof() && connection->buffer().size() == 0;
    if (!reusable) {
        connection->close();
        return;
    }
    connection->lowest().expires_never();
    pool->put(std::move(connection));
}

asio::awaitable<Response> Exchange::open(const Request& request) {
    auto self = shared_from_this();
    host_ = std::string(request.url.host_address());
    timeout_ = request.timeout;
    deadline_ = request.deadline;
    requestAllowsReuse_ = !hasToken(request.headers.get("Connection").value_or(""), "close");
    checkCancellation();
    CancellationHandler onCancel([self] { self->close(); });

    if (auto pool = pool_.lock()) connection_ = pool->take(ConnectionPool::keyOf(request.url));
    reused_ = connection_ != nullptr;
    if (!reused_) co_await connect(request);
    auto error = co_await writeAndReadHead(request);
    if (error && mayRetry(error)) {
        // The server closed the idle connection as the request went out. It saw no request it
        // answered, as no byte of a response came, so sending it again on a new connection cannot
        // run it twice. Once only: a new connection that fails the same way reports the failure.
        connection_->close();
        connection_.reset();
        reused_ = false;
        co_await connect(request);
        error = co_await writeAndReadHead(request);
    }
    if (error) fail(error, Step::exchange);

    Response response;
    const auto& head = parser_->get();
    response.status = static_cast<int>(head.result_int());
    response.reason = std::string(head.reason());
    for (const auto& field : head) response.headers.add(field.name_string(), field.value());
    response.url = request.url;
    if (parser_->is_done()) finish();
    co_return response;
}

asio::awaitable<std::optional<std::string>> Exchange::nextChunk() {
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
        auto error = co_await onStream(
            [this](auto& stream, auto& buffer) { return bhttp::async_read_some(stream, buffer, *parser_, asTuple); });
        if (error) fail(error, Step::exchange);
        chunk.resize(chunk.size() - parser_->get().body().size);
        if (parser_->is_done()) finish();
        if (!chunk.empty()) co_return chunk;
    }
}

}  // namespace platform::http::detail
