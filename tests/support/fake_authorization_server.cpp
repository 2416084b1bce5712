#include "support/fake_authorization_server.hpp"

#include "platform/base64.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/url/parse.hpp>

#include <openssl/evp.h>

#include <sstream>

namespace testing_support {

namespace {

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else if (text[i] == '+') {
            out.push_back(' ');
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::set<std::string> scopeSet(const std::string& text) {
    std::set<std::string> scopes;
    std::istringstream stream(text);
    std::string scope;
    while (stream >> scope) scopes.insert(scope);
    return scopes;
}

std::string joined(const std::set<std::string>& scopes) {
    std::string out;
    for (const auto& scope : scopes) out += (out.empty() ? "" : " ") + scope;
    return out;
}

std::string s256(const std::string& verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr);
    return platform::base64UrlEncode(std::string_view(reinterpret_cast<const char*>(digest), length));
}

const platform::http::Headers kJSON{{"Content-Type", "application/json"}};

}  // namespace

FakeAuthorizationServer::FakeAuthorizationServer(boost::asio::any_io_executor executor)
    : server_(std::make_unique<LoopbackHttpServer>(
          executor, [this](std::shared_ptr<LoopbackHttpServer::Exchange> exchange) { return handle(std::move(exchange)); })) {}

std::string FakeAuthorizationServer::url(const std::string& path) const {
    std::string base = server_->url("/");
    base.pop_back();
    return base + path;
}

std::vector<std::string> FakeAuthorizationServer::requestLines() const {
    std::vector<std::string> lines;
    for (const auto& request : requests()) lines.push_back(request.method + " " + request.target);
    return lines;
}

std::map<std::string, std::string> FakeAuthorizationServer::formFields(const std::string& body) {
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start < body.size()) {
        auto end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const auto pair = std::string_view(body).substr(start, end - start);
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos) fields[percentDecoded(pair.substr(0, equals))] = percentDecoded(pair.substr(equals + 1));
        start = end + 1;
    }
    return fields;
}

boost::asio::awaitable<void> FakeAuthorizationServer::handle(std::shared_ptr<LoopbackHttpServer::Exchange> exchange) {
    const auto reply = route(exchange->request());
    co_await exchange->respond(reply.status, reply.headers, reply.body);
}

FakeAuthorizationServer::Reply FakeAuthorizationServer::route(const RecordedRequest& request) {
    const auto target = boost::urls::parse_origin_form(request.target);
    const std::string path = target ? std::string(target->path()) : request.target;

    if (path == "/.well-known/oauth-protected-resource/mcp") {
        boost::json::object body;
        body["resource"] = url("/mcp");
        body["authorization_servers"] = boost::json::array{boost::json::string(url())};
        boost::json::array scopes;
        for (const auto& scope : scopesSupported) scopes.emplace_back(scope);
        body["scopes_supported"] = std::move(scopes);
        return Reply(200, kJSON, platform::json::write(body));
    }
    if (path == "/.well-known/oauth-authorization-server") {
        boost::json::object body;
        body["issuer"] = issuerOverride ? *issuerOverride : url();
        body["authorization_endpoint"] = url("/authorize");
        body["token_endpoint"] = url("/token");
        if (registrationEnabled) body["registration_endpoint"] = url("/register");
        body["code_challenge_methods_supported"] = boost::json::array{"S256"};
        body["token_endpoint_auth_methods_supported"] = boost::json::array{boost::json::string(tokenAuthMethod)};
        body["client_id_metadata_document_supported"] = clientIDMetadataDocumentSupported;
        return Reply(200, kJSON, platform::json::write(body));
    }
    if (path == "/register" && request.method == "POST") {
        const auto document = platform::json::parse(request.body);
        const std::string id = "registered-" + std::to_string(++counter_);
        registeredClients_.insert(id);
        boost::json::object body;
        body["client_id"] = id;
        body["client_name"] = document.at("client_name");
        if (registeredSecretMethod) {
            body["client_secret"] = id + "-secret";
            body["token_endpoint_auth_method"] = *registeredSecretMethod;
        }
        return Reply(201, kJSON, platform::json::write(body));
    }
    if (path == "/authorize" && target) {
        std::map<std::string, std::string> query;
        for (const auto& param : target->params(boost::urls::encoding_opts(false))) query[param.key] = param.value;
        if (query["response_type"] != "code" || query["code_challenge_method"] != "S256" || query["state"].empty()) {
            return Reply(400, {}, "bad authorization request");
        }
        const std::string code = "code-" + std::to_string(++counter_);
        codes_[code] = {query["code_challenge"], query["redirect_uri"], scopeSet(query["scope"])};
        const std::string location = query["redirect_uri"] + "?code=" + code + "&state=" + query["state"];
        return Reply(302, {{"Location", location}}, "");
    }
    if (path == "/token" && request.method == "POST") {
        return token(request);
    }
    if (path == "/mcp" && request.method != "POST") return Reply(405, {}, "");
    if (path == "/mcp") {
        const auto authorization = request.headers.get("Authorization").value_or("");
        const std::string prefix = "Bearer ";
        const std::string presented = authorization.starts_with(prefix) ? authorization.substr(prefix.size()) : "";
        const auto issued = issuedTokens.find(presented);
        const std::string metadataURL = url("/.well-known/oauth-protected-resource/mcp");
        if (issued == issuedTokens.end() || revokedTokens.contains(presented)) {
            std::string challenge = "Bearer resource_metadata=\"" + metadataURL + "\"";
            if (!requiredScopes.empty()) challenge += ", scope=\"" + joined(requiredScopes) + "\"";
            return Reply(401, {{"WWW-Authenticate", challenge}}, "");
        }
        for (const auto& scope : requiredScopes) {
            if (!issued->second.contains(scope)) {
                return Reply(403, {{"WWW-Authenticate", "Bearer error=\"insufficient_scope\", scope=\"" +
                                                                           joined(requiredScopes) + "\", resource_metadata=\"" +
                                                                           metadataURL + "\""}},
                                           "");
            }
        }
        const auto message = platform::json::parse(request.body);
        boost::json::object reply;
        reply["jsonrpc"] = "2.0";
        reply["id"] = message.at("id");
        reply["result"] = boost::json::object();
        return Reply(200, kJSON, platform::json::write(reply));
    }
    return Reply(404, {}, "");
}

std::optional<std::string> FakeAuthorizationServer::authenticatedClient(const RecordedRequest& request,
                                                                        const std::map<std::string, std::string>& form) const {
    const auto field = [&](const char* name) -> std::string {
        auto found = form.find(name);
        return found == form.end() ? "" : found->second;
    };
    if (registeredClients_.contains(field("client_id")) && !request.headers.contains("Authorization")) {
        const bool secretSent = field("client_secret") == field("client_id") + "-secret";
        if (secretSent == (registeredSecretMethod == "client_secret_post")) return field("client_id");
        return std::nullopt;
    }
    if (tokenAuthMethod == "client_secret_basic") {
        if (request.headers.get("Authorization") == "Basic " + platform::base64Encode(clientID + ":" + clientSecret) &&
            !form.contains("client_secret")) {
            return clientID;
        }
    } else if (tokenAuthMethod == "client_secret_post") {
        if (field("client_id") == clientID && field("client_secret") == clientSecret) return clientID;
    } else if (tokenAuthMethod == "none") {
        if (field("client_id") == clientID) return clientID;
    } else if (tokenAuthMethod == "private_key_jwt" && clientKey) {
        const auto assertion = field("client_assertion");
        if (field("client_id") == clientID &&
            field("client_assertion_type") == "urn:ietf:params:oauth:client-assertion-type:jwt-bearer" &&
            clientKey->verifiesJWT(assertion)) {
            const auto first = assertion.find('.');
            const auto second = assertion.find('.', first + 1);
            const auto claims = platform::json::parse(*platform::base64UrlDecode(assertion.substr(first + 1, second - first - 1)));
            if (claims.at("aud") == boost::json::value(url("/token")) && claims.at("iss") == boost::json::value(clientID)) return clientID;
        }
    }
    return std::nullopt;
}

std::string FakeAuthorizationServer::issue(const std::set<std::string>& scopes, bool withRefreshToken,
                                           std::string& refreshToken) {
    const std::string accessToken = "token-" + std::to_string(++counter_);
    issuedTokens[accessToken] = scopes;
    if (withRefreshToken) {
        refreshToken = "refresh-" + std::to_string(++counter_);
        refreshTokens[refreshToken] = scopes;
    }
    return accessToken;
}

FakeAuthorizationServer::Reply FakeAuthorizationServer::token(const RecordedRequest& request) {
    const auto form = formFields(request.body);
    const auto field = [&](const char* name) -> std::string {
        auto found = form.find(name);
        return found == form.end() ? "" : found->second;
    };
    const auto refuse = [&](int status, const char* error) {
        return Reply(status, kJSON, std::string(R"({"error":")") + error + "\"}");
    };
    if (!authenticatedClient(request, form)) {
        return refuse(401, "invalid_client");
    }
    const auto grant = field("grant_type");
    std::set<std::string> scopes = scopeSet(field("scope"));
    bool withRefreshToken = true;
    std::string previousRefresh;
    if (grant == "client_credentials") {
        withRefreshToken = refreshTokenWithClientCredentials;
    } else if (grant == "authorization_code") {
        auto pending = codes_.find(field("code"));
        if (pending == codes_.end() || s256(field("code_verifier")) != pending->second.challenge ||
            pending->second.redirectURI != field("redirect_uri")) {
            return refuse(400, "invalid_grant");
        }
        scopes = pending->second.scopes;
        codes_.erase(pending);
    } else if (grant == "refresh_token") {
        previousRefresh = field("refresh_token");
        auto known = refreshTokens.find(previousRefresh);
        if (known == refreshTokens.end() || revokedTokens.contains(previousRefresh)) {
            return refuse(400, "invalid_grant");
        }
        if (scopes.empty()) scopes = known->second;
        withRefreshToken = rotateRefreshTokens;
    } else {
        return refuse(400, "unsupported_grant_type");
    }
    std::string refreshToken;
    const auto accessToken = issue(scopes, withRefreshToken, refreshToken);
    // Without rotation the old refresh token stays good.
    if (grant == "refresh_token" && !rotateRefreshTokens) refreshTokens[previousRefresh] = scopes;
    boost::json::object body;
    body["access_token"] = accessToken;
    body["token_type"] = "Bearer";
    if (expiresIn) body["expires_in"] = *expiresIn;
    if (!scopes.empty()) body["scope"] = joined(scopes);
    if (!refreshToken.empty()) body["refresh_token"] = refreshToken;
    return Reply(200, kJSON, platform::json::write(body));
}

}  // namespace testing_support
