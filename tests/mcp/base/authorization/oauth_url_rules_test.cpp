#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"
#include "mcp/base/authorization/oauth_authorization_error.hpp"
#include "mcp/base/authorization/oauth_authorizer.hpp"
#include "mcp/base/authorization/oauth_scope_selector.hpp"
#include "mcp/base/authorization/oauth_url_validator.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;
using Scopes = std::set<std::string>;

/// The kind thrown by `step`, or nothing when it returns.
template <class F>
std::optional<Kind> failureOf(F&& step, std::string* text = nullptr) {
    try {
        step();
        return std::nullopt;
    } catch (const OAuthAuthorizationError& error) {
        if (text) *text = error.what();
        return error.kind();
    }
}

TEST(OAuthURLValidatorTest, AppliesTheTransportRules) {
    struct Case {
        const char* url;
        std::optional<Kind> authorizationServer;  // without loopback http allowed
        std::optional<Kind> authorizationServerLoopback;
        std::optional<Kind> httpsOrLoopback;
        std::optional<Kind> redirect;
    };
    const auto ok = std::nullopt;
    const std::vector<Case> cases = {
        {"https://as.example/path", ok, ok, ok, ok},
        {"HTTPS://AS.EXAMPLE/path", ok, ok, ok, ok},
        {"http://localhost:8080/cb", Kind::insecureAuthorizationServerEndpoint, ok, ok, ok},
        {"http://127.0.0.1/cb", Kind::insecureAuthorizationServerEndpoint, ok, ok, ok},
        {"http://[::1]:9/cb", Kind::insecureAuthorizationServerEndpoint, ok, ok, ok},
        {"HTTP://LOCALHOST/cb", Kind::insecureAuthorizationServerEndpoint, ok, ok, ok},
        {"http://127.0.0.2/cb", Kind::insecureAuthorizationServerEndpoint, Kind::insecureAuthorizationServerEndpoint,
         Kind::insecureOAuthEndpoint, Kind::invalidRedirectURI},
        {"https://as.example/p#", Kind::invalidResourceURI, Kind::invalidResourceURI, Kind::invalidResourceURI,
         Kind::invalidRedirectURI},
        {"https://as.example/p#frag", Kind::invalidResourceURI, Kind::invalidResourceURI, Kind::invalidResourceURI,
         Kind::invalidRedirectURI},
        {"ftp://as.example/p", Kind::insecureAuthorizationServerEndpoint, Kind::insecureAuthorizationServerEndpoint,
         Kind::insecureOAuthEndpoint, Kind::invalidRedirectURI},
        {"com.example.app:/callback", Kind::invalidResourceURI, Kind::invalidResourceURI, Kind::invalidResourceURI,
         Kind::invalidRedirectURI},
        {"https:/no-host", Kind::invalidResourceURI, Kind::invalidResourceURI, Kind::invalidResourceURI, ok},
        {"/relative", Kind::invalidResourceURI, Kind::invalidResourceURI, Kind::invalidResourceURI, Kind::invalidRedirectURI},
    };
    const OAuthURLValidator strict(false);
    const OAuthURLValidator loopback(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const boost::urls::url url(c.url);
        EXPECT_EQ(failureOf([&] { strict.validateAuthorizationServer(url, "Token endpoint"); }), c.authorizationServer);
        EXPECT_EQ(failureOf([&] { loopback.validateAuthorizationServer(url, "Token endpoint"); }), c.authorizationServerLoopback);
        EXPECT_EQ(failureOf([&] { strict.validateHTTPSOrLoopback(url, "MCP endpoint"); }), c.httpsOrLoopback);
        EXPECT_EQ(failureOf([&] { loopback.validateRedirectURI(url); }), c.redirect);
    }
    std::string text;
    failureOf([&] { strict.validateHTTPSOrLoopback(boost::urls::url("https://a.example/#"), "MCP endpoint"); }, &text);
    EXPECT_EQ(text, "Invalid resource URI: Invalid MCP endpoint: https://a.example/#");
    failureOf([&] { strict.validateHTTPSOrLoopback(boost::urls::url("http://a.example/mcp"), "MCP endpoint"); }, &text);
    EXPECT_EQ(text, "MCP endpoint must use https or loopback http: http://a.example/mcp");
}

TEST(OAuthURLValidatorTest, JudgesOnlyIPLiteralsPrivate) {
    const OAuthURLValidator validator;
    for (const char* host : {"10.1.2.3", "100.64.0.1", "100.127.255.255", "169.254.1.1", "172.16.0.1", "172.31.255.255",
                             "192.168.0.1", "fd00::1", "fc00::1", "fe80::1", "febf::1", "[fd00::1]", "::ffff:10.0.0.1"}) {
        EXPECT_TRUE(validator.isPrivateIPHost(host)) << host;
    }
    // Host names are never private, whatever they start with: public servers carry such names.
    for (const char* host : {"100.63.0.1", "100.128.0.1", "172.15.0.1", "172.32.0.1", "127.0.0.1", "8.8.8.8", "fec0::1",
                             "::1", "2001:db8::1", "feature.example.com", "fdic.gov", "fcc.gov", "10.0.0.1.example.com",
                             "example.com", "10.1", ""}) {
        EXPECT_FALSE(validator.isPrivateIPHost(host)) << host;
    }
}

TEST(DefaultOAuthMetadataDiscoveryTest, ListsWellKnownURLsInOrder) {
    using List = std::vector<std::string>;
    const auto texts = [](const std::vector<boost::urls::url>& urls) {
        List out;
        for (const auto& url : urls) out.emplace_back(url.buffer());
        return out;
    };
    const DefaultOAuthMetadataDiscovery discovery;
    struct Case {
        const char* url;
        List protectedResource;
        List authorizationServer;
    };
    const std::vector<Case> cases = {
        {"https://api.example:8443/mcp?x=1#f",
         {"https://api.example:8443/.well-known/oauth-protected-resource/mcp",
          "https://api.example:8443/.well-known/oauth-protected-resource"},
         {"https://api.example:8443/.well-known/oauth-authorization-server/mcp",
          "https://api.example:8443/.well-known/openid-configuration/mcp",
          "https://api.example:8443/mcp/.well-known/openid-configuration"}},
        {"https://api.example/",
         {"https://api.example/.well-known/oauth-protected-resource", "https://api.example/.well-known/oauth-protected-resource"},
         {"https://api.example/.well-known/oauth-authorization-server", "https://api.example/.well-known/openid-configuration"}},
        {"https://as.example//tenant/a//",
         {"https://as.example/.well-known/oauth-protected-resource//tenant/a//",
          "https://as.example/.well-known/oauth-protected-resource"},
         {"https://as.example/.well-known/oauth-authorization-server/tenant/a",
          "https://as.example/.well-known/openid-configuration/tenant/a",
          "https://as.example/tenant/a/.well-known/openid-configuration"}},
        {"http://LOCALHOST:3000/tenant1/",
         {"http://LOCALHOST:3000/.well-known/oauth-protected-resource/tenant1/",
          "http://LOCALHOST:3000/.well-known/oauth-protected-resource"},
         {"http://LOCALHOST:3000/.well-known/oauth-authorization-server/tenant1",
          "http://LOCALHOST:3000/.well-known/openid-configuration/tenant1",
          "http://LOCALHOST:3000/tenant1/.well-known/openid-configuration"}},
        {"http://api.example/mcp", {}, {}},
        {"http://127.0.0.2/mcp", {}, {}},
        {"ftp://api.example/mcp", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(texts(discovery.protectedResourceMetadataURLs(boost::urls::url(c.url))), c.protectedResource);
        EXPECT_EQ(texts(discovery.authorizationServerMetadataURLs(boost::urls::url(c.url))), c.authorizationServer);
    }
}

TEST(DefaultOAuthMetadataDiscoveryTest, CanonicalisesResourcesAndIssuers) {
    const DefaultOAuthMetadataDiscovery discovery;
    struct Case {
        const char* url;
        std::string canonical;  // or the failure text
        std::string issuer;
    };
    const std::vector<Case> cases = {
        {"HTTPS://Api.Example:8443/?q=1", "https://api.example:8443", "https://api.example:8443"},
        {"https://api.example/mcp/", "https://api.example/mcp/", "https://api.example"},
        {"https://Api.Example:8443/a/b?q#f", "Invalid resource URI: Resource URI must not contain a fragment",
         "https://api.example:8443"},
        {"https://api.example/mcp#", "Invalid resource URI: Resource URI must not contain a fragment", "https://api.example"},
        {"http://localhost:3000/mcp", "http://localhost:3000/mcp", "http://localhost:3000"},
        {"ftp://api.example/mcp", "Invalid resource URI: Resource URI must use https or loopback http",
         "Invalid resource URI: Resource URI must use https or loopback http"},
    };
    const auto outcome = [](auto step) -> std::string {
        try {
            return std::string(step().buffer());
        } catch (const OAuthAuthorizationError& error) {
            return error.what();
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const boost::urls::url url(c.url);
        EXPECT_EQ(outcome([&] { return discovery.canonicalResourceURI(url); }), c.canonical);
        EXPECT_EQ(outcome([&] { return discovery.authorizationServerFallbackIssuer(url); }), c.issuer);
    }
}

TEST(DefaultOAuthScopeSelectorTest, SelectsParsesAndWritesScopes) {
    const DefaultOAuthScopeSelector selector;
    using Supported = std::optional<std::vector<std::string>>;
    EXPECT_EQ(selector.selectScopes("b a\u2003a\n", Supported{{"x"}}), (Scopes{"a", "b"}));
    EXPECT_EQ(selector.selectScopes("", Supported{{"x"}}), std::nullopt);
    EXPECT_EQ(selector.selectScopes(std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(selector.selectScopes(std::nullopt, Supported{{" read ", " \t ", ""}}), (Scopes{" read "}));
    EXPECT_EQ(selector.selectScopes(std::nullopt, Supported{{"  "}}), std::nullopt);
    EXPECT_EQ(selector.parseScopeString("  "), Scopes{});
    EXPECT_EQ(selector.serialize({"write", "read", "admin"}), "admin read write");
    EXPECT_EQ(selector.serialize({}), std::nullopt);
}

TEST(OAuthAuthorizerTest, NormalisesServersAndOperationKeys) {
    const auto normalized = [](const char* url) -> std::string {
        auto out = OAuthAuthorizer::normalizedAuthorizationServer(boost::urls::url(url));
        return out ? std::string(out->buffer()) : "none";
    };
    EXPECT_EQ(normalized("ftp://as.example/x"), "none");
    EXPECT_EQ(normalized("HTTPS://AS.Example/?q=1#f"), "https://as.example");
    EXPECT_EQ(normalized("https://as.example:444/t/"), "https://as.example:444/t/");
    EXPECT_EQ(OAuthAuthorizer::normalizedOperationKey(std::nullopt), "<unknown>");
    EXPECT_EQ(OAuthAuthorizer::normalizedOperationKey(""), "<unknown>");
    EXPECT_EQ(OAuthAuthorizer::normalizedOperationKey(" \n "), "<unknown>");
    EXPECT_EQ(OAuthAuthorizer::normalizedOperationKey("  tools/call \t"), "tools/call");
}

}  // namespace
}  // namespace mcp
