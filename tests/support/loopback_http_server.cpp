#include "support/loopback_http_server.hpp"

#include "platform/async/cancellation.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <optional>
#include <sstream>
#include <stdexcept>

namespace testing_support {

namespace asio = boost::asio;
namespace bhttp = boost::beast::http;
using asio::ip::tcp;

namespace {

constexpr auto asTuple = asio::as_tuple(asio::use_awaitable);

std::string pemOf(int (*write)(BIO*, void*), void* object) {
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio, object);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<std::size_t>(size));
    BIO_free(bio);
    return pem;
}

std::string head(int status, const platform::http::Headers& headers) {
    std::ostringstream text;
    text << "HTTP/1.1 " << status << " Status\r\n";
    for (const auto& [name, value] : headers) text << name << ": " << value << "\r\n";
    return text.str();
}

}  // namespace

TestCertificate TestCertificate::make(const std::vector<std::string>& subjectAltNames) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Inkwarden test"), -1,
                               -1, 0);
    X509_set_issuer_name(certificate, name);
    std::string names;
    for (const auto& altName : subjectAltNames) names += (names.empty() ? "" : ",") + altName;
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, names.c_str());
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    X509_sign(certificate, key, EVP_sha256());

    TestCertificate result;
    result.certificatePem = pemOf([](BIO* bio, void* x) { return PEM_write_bio_X509(bio, static_cast<X509*>(x)); },
                                  certificate);
    result.privateKeyPem = pemOf(
        [](BIO* bio, void* k) {
            return PEM_write_bio_PrivateKey(bio, static_cast<EVP_PKEY*>(k), nullptr, nullptr, 0, nullptr, nullptr);
        },
        key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return result;
}

std::shared_ptr<asio::ssl::context> TestCertificate::clientContext() const {
    auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_client);
    context->add_certificate_authority(asio::buffer(certificatePem));
    context->set_verify_mode(asio::ssl::verify_peer);
    return context;
}

namespace {

class ExchangeImpl : public LoopbackHttpServer::Exchange {
public:
    ExchangeImpl(tcp::socket socket, asio::ssl::context* tls, bool keepAlive) : keepAlive_(keepAlive) {
        if (tls) {
            secure_.emplace(std::move(socket), *tls);
        } else {
            plain_.emplace(std::move(socket));
        }
    }

    asio::awaitable<bool> readRequest() {
        if (secure_ && !handshaken_) {
            handshaken_ = true;
            auto [error] = co_await secure_->async_handshake(asio::ssl::stream_base::server, asTuple);
            if (error) co_return false;
            if (const char* name = SSL_get_servername(secure_->native_handle(), TLSEXT_NAMETYPE_host_name))
                request_.serverName = name;
        }
        bhttp::request<bhttp::string_body> message;
        boost::beast::error_code error;
        if (secure_) {
            auto result = co_await bhttp::async_read(*secure_, buffer_, message, asTuple);
            error = std::get<0>(result);
        } else {
            auto result = co_await bhttp::async_read(*plain_, buffer_, message, asTuple);
            error = std::get<0>(result);
        }
        if (error) co_return false;
        request_ = RecordedRequest{.method = std::string(message.method_string()),
                                   .target = std::string(message.target()),
                                   .headers = {},
                                   .body = {},
                                   .serverName = request_.serverName,
                                   .connection = request_.connection};
        for (const auto& field : message) request_.headers.add(field.name_string(), field.value());
        request_.body = message.body();
        co_return true;
    }

    const RecordedRequest& request() const override { return request_; }
    void setConnection(std::size_t ordinal) { request_.connection = ordinal; }
    bool isClosed() const { return closed_; }

    asio::awaitable<void> respond(int status, platform::http::Headers headers, std::string body) override {
        headers.set("Content-Length", std::to_string(body.size()));
        closesAfterReply_ = !keepAlive_ || headers.get("Connection") == "close";
        if (closesAfterReply_) headers.set("Connection", "close");
        co_await writeRaw(head(status, headers) + "\r\n" + body);
        if (closesAfterReply_) close();
    }

    asio::awaitable<void> startStream(int status, platform::http::Headers headers) override {
        headers.set("Transfer-Encoding", "chunked");
        closesAfterReply_ = !keepAlive_ || headers.get("Connection") == "close";
        if (closesAfterReply_) headers.set("Connection", "close");
        co_await writeRaw(head(status, headers) + "\r\n");
    }

    asio::awaitable<void> sendChunk(std::string bytes) override {
        if (bytes.empty()) co_return;
        std::ostringstream size;
        size << std::hex << bytes.size();
        co_await writeRaw(size.str() + "\r\n" + bytes + "\r\n");
    }

    asio::awaitable<void> endStream() override {
        co_await writeRaw("0\r\n\r\n");
        if (closesAfterReply_) close();
    }

    asio::awaitable<void> writeRaw(std::string bytes) override {
        if (closed_) throw std::runtime_error("loopback exchange already closed");
        boost::system::error_code error;
        if (secure_) {
            auto result = co_await asio::async_write(*secure_, asio::buffer(bytes), asTuple);
            error = std::get<0>(result);
        } else {
            auto result = co_await asio::async_write(*plain_, asio::buffer(bytes), asTuple);
            error = std::get<0>(result);
        }
        if (error) throw boost::system::system_error(error);
    }

    void close() override {
        if (closed_) return;
        closed_ = true;
        boost::system::error_code ignored;
        auto& socket = secure_ ? secure_->next_layer() : *plain_;
        socket.shutdown(tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    }

private:
    std::optional<tcp::socket> plain_;
    std::optional<asio::ssl::stream<tcp::socket>> secure_;
    boost::beast::flat_buffer buffer_;
    RecordedRequest request_;
    bool keepAlive_;
    bool handshaken_ = false;
    bool closesAfterReply_ = true;
    bool closed_ = false;
};

}  // namespace

struct LoopbackHttpServer::State : std::enable_shared_from_this<State> {
    State(asio::any_io_executor executor, Handler handler) : executor(executor), acceptor(executor), handler(std::move(handler)) {}

    asio::any_io_executor executor;
    tcp::acceptor acceptor;
    Handler handler;
    std::optional<asio::ssl::context> tls;
    bool secure = false;
    std::vector<RecordedRequest> requests;
    std::vector<platform::Task<void>> tasks;
    std::vector<std::weak_ptr<ExchangeImpl>> exchanges;
    bool stopped = false;
    bool keepAlive = false;
    std::size_t connections = 0;
    std::size_t closedIdleConnections = 0;
    std::uint16_t port = 0;

    static asio::awaitable<void> serve(std::shared_ptr<State> state, std::shared_ptr<ExchangeImpl> exchange) {
        for (bool first = true;; first = false) {
            auto read = co_await exchange->readRequest();
            if (!read && !first && !exchange->isClosed() && !state->stopped) ++state->closedIdleConnections;
            if (!read || state->stopped) {
                exchange->close();
                co_return;
            }
            state->requests.push_back(exchange->request());
            try {
                co_await state->handler(exchange);
            } catch (...) {
                // A handler ends early when the client went away or the server stopped.
                co_return;
            }
            if (!state->keepAlive || exchange->isClosed()) co_return;
        }
    }

    static asio::awaitable<void> acceptLoop(std::shared_ptr<State> state) {
        for (;;) {
            auto [error, socket] = co_await state->acceptor.async_accept(asTuple);
            if (error || state->stopped) co_return;
            auto exchange =
                std::make_shared<ExchangeImpl>(std::move(socket), state->tls ? &*state->tls : nullptr, state->keepAlive);
            exchange->setConnection(++state->connections);
            std::erase_if(state->exchanges, [](const auto& weak) { return weak.expired(); });
            state->exchanges.push_back(exchange);
            std::erase_if(state->tasks, [](const auto& task) { return task.isFinished(); });
            state->tasks.push_back(platform::spawnDetached(state->executor, serve(state, exchange)));
        }
    }
};

LoopbackHttpServer::LoopbackHttpServer(asio::any_io_executor executor, Handler handler,
                                       std::optional<TestCertificate> certificate)
    : state_(std::make_shared<State>(executor, std::move(handler))) {
    if (certificate) {
        state_->tls.emplace(asio::ssl::context::tls_server);
        state_->tls->use_certificate_chain(asio::buffer(certificate->certificatePem));
        state_->tls->use_private_key(asio::buffer(certificate->privateKeyPem), asio::ssl::context::pem);
        state_->secure = true;
    }
    tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    state_->acceptor.open(endpoint.protocol());
    state_->acceptor.set_option(tcp::acceptor::reuse_address(true));
    state_->acceptor.bind(endpoint);
    state_->acceptor.listen();
    state_->port = state_->acceptor.local_endpoint().port();
    state_->tasks.push_back(platform::spawnDetached(executor, State::acceptLoop(state_)));
}

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

std::uint16_t LoopbackHttpServer::port() const { return state_->port; }

std::string LoopbackHttpServer::url(const std::string& path) const { return url("127.0.0.1", path); }

std::string LoopbackHttpServer::url(const std::string& host, const std::string& path) const {
    return std::string(state_->secure ? "https://" : "http://") + host + ":" + std::to_string(port()) + path;
}

const std::vector<RecordedRequest>& LoopbackHttpServer::requests() const { return state_->requests; }

void LoopbackHttpServer::setKeepAlive(bool keepAlive) { state_->keepAlive = keepAlive; }

std::size_t LoopbackHttpServer::connectionCount() const { return state_->connections; }

std::size_t LoopbackHttpServer::closedIdleConnectionCount() const { return state_->closedIdleConnections; }

void LoopbackHttpServer::stop() {
    if (state_->stopped) return;
    state_->stopped = true;
    boost::system::error_code ignored;
    state_->acceptor.close(ignored);
    for (auto& task : state_->tasks) task.cancel();
    for (const auto& weak : state_->exchanges) {
        if (auto exchange = weak.lock()) exchange->close();
    }
}

}  // namespace testing_support
