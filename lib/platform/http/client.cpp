#include "platform/http/client.hpp"

#include "platform/async/cancellation.hpp"
#include "platform/async/task_context.hpp"
#include "platform/http/detail/connection_pool.hpp"
#include "platform/http/detail/exchange.hpp"

#include <boost/asio/ssl/context.hpp>
#include <boost/url/parse.hpp>

#include <openssl/ssl.h>

#include <mutex>

namespace platform::http {

namespace asio = boost::asio;

namespace {

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isHTTP(const boost::urls::url_view& url) {
    return (url.scheme() == "http" || url.scheme() == "https") && url.has_authority() && !url.host().empty();
}

std::string_view effectivePort(const boost::urls::url_view& url) {
    if (url.has_port()) return url.port();
    return url.scheme() == "https" ? "443" : "80";
}

bool sameOrigin(const boost::urls::url_view& a, const boost::urls::url_view& b) {
    return equalsIgnoringCase(a.scheme(), b.scheme()) && equalsIgnoringCase(a.host(), b.host()) &&
           effectivePort(a) == effectivePort(b);
}

// The request a redirect leads to, or nullopt when it is not to be followed.
std::optional<Request> redirected(const Request& request, const Response& response) {
    if (!request.followRedirects || !isRedirect(response.status)) return std::nullopt;
    if (request.method != "GET" && request.method != "HEAD") return std::nullopt;
    auto location = response.headers.get("Location");
    if (!location) return std::nullopt;
    auto reference = boost::urls::parse_uri_reference(*location);
    if (!reference) return std::nullopt;
    boost::urls::url target;
    if (!boost::urls::resolve(request.url, *reference, target) || !isHTTP(target)) return std::nullopt;
    target.remove_fragment();

    Request next = request;
    if (!sameOrigin(request.url, target)) next.headers.remove("Authorization");
    next.headers.remove("Host");
    next.url = std::move(target);
    return next;
}

}  // namespace

std::shared_ptr<asio::ssl::context> systemTLSContext() {
    static std::mutex mutex;
    static std::shared_ptr<asio::ssl::context> context;
    std::lock_guard lock(mutex);
    if (!context) {
        context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_client);
        context->set_default_verify_paths();
        context->set_verify_mode(asio::ssl::verify_peer);
        SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION);
    }
    return context;
}

Client::Client(asio::any_io_executor executor, ClientOptions options)
    // Sockets belong to the runtime, not to the task that happens to make the client.
    : executor_(platform::detail::unwrapExecutor(executor)), options_(std::move(options)) {
    if (!options_.tls) options_.tls = systemTLSContext();
    pool_ = std::make_shared<detail::ConnectionPool>(
        detail::ConnectionPool::Limits{options_.maxIdleConnectionsPerOrigin, options_.idleConnectionLifetime});
}

// Bodies still being read keep their connections; they close when they end, having no pool.
Client::~Client() { pool_->clear(); }

asio::awaitable<Response> Client::send(Request request) {
    for (int redirects = 0;; ++redirects) {
        auto response = co_await sendOnce(request);
        auto next = redirected(request, response);
        if (!next) co_return response;
        response.cancel();
        if (redirects == options_.maxRedirects) {
            throw HttpError(HttpError::Kind::tooManyRedirects,
                            "Too many redirects (more than " + std::to_string(options_.maxRedirects) + ")");
        }
        request = std::move(*next);
    }
}

asio::awaitable<Response> Client::sendOnce(const Request& request) {
    if (!isHTTP(request.url)) {
        throw HttpError(HttpError::Kind::badURL, "Unsupported URL: " + std::string(request.url.buffer()));
    }
    if (invalidated_) throw HttpError(HttpError::Kind::cancelled, "The client was invalidated");
    auto exchange = std::make_shared<detail::Exchange>(executor_, options_.tls, pool_);
    std::erase_if(exchanges_, [](const auto& weak) { return weak.expired(); });
    exchanges_.push_back(exchange);
    auto response = co_await exchange->open(request);
    response.body = ResponseBody(std::move(exchange));
    co_return response;
}

asio::awaitable<BufferedResponse> Client::fetch(Request request, std::size_t maxBodyBytes) {
    auto response = co_await send(std::move(request));
    auto body = co_await response.body.readAll(maxBodyBytes);
    co_return BufferedResponse{response.status, std::move(response.reason), std::move(response.headers),
                               std::move(response.url), std::move(body)};
}

void Client::invalidateAndCancel() {
    invalidated_ = true;
    for (const auto& weak : exchanges_) {
        if (auto exchange = weak.lock()) exchange->cancel();
    }
    exchanges_.clear();
    pool_->clear();
}

}  // namespace platform::http
