#include "mcp/base/authorization/oauth_protected_resource_server_metadata.hpp"

#include "mcp/base/authorization/default_oauth_metadata_discovery.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <boost/url/parse.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mcp {
namespace {

using platform::json::DecodingError;

std::string written(const OAuthProtectedResourceServerMetadata& metadata) {
    return platform::json::write(metadata.toJSON(), {.escapeSlashes = false});
}

OAuthProtectedResourceServerMetadata read(std::string_view json) {
    return OAuthProtectedResourceServerMetadata::fromJSON(platform::json::parse(json));
}

TEST(OAuthProtectedResourceServerMetadataTest, WritesScopesOnlyWhenPresent) {
    OAuthProtectedResourceServerMetadata metadata{"https://api.example/mcp",
                                                  {boost::urls::url("https://a.example"), boost::urls::url("https://b.example/t")},
                                                  std::nullopt};
    EXPECT_EQ(written(metadata),
              R"({"resource":"https://api.example/mcp","authorization_servers":["https://a.example","https://b.example/t"]})");
    metadata.scopesSupported = std::vector<std::string>{};
    metadata.authorizationServers.clear();
    EXPECT_EQ(written(metadata), R"({"resource":"https://api.example/mcp","authorization_servers":[],"scopes_supported":[]})");
}

TEST(OAuthProtectedResourceServerMetadataTest, ReadsWhatItWritesAndRefusesBadDocuments) {
    const OAuthProtectedResourceServerMetadata metadata{
        "r", {boost::urls::url("https://a.example")}, std::vector<std::string>{"read", "write"}};
    EXPECT_EQ(read(written(metadata)), metadata);
    EXPECT_EQ(read(R"({"resource":"r","authorization_servers":["https://a.example"],"scopes_supported":null,"x":1})"),
              (OAuthProtectedResourceServerMetadata{"r", {boost::urls::url("https://a.example")}, std::nullopt}));

    struct Case {
        const char* name;
        std::string json;
        DecodingError::Kind kind;
        std::vector<std::string> path;
    };
    const std::vector<Case> cases = {
        {"NoServers", R"({"resource":"r"})", DecodingError::Kind::keyNotFound, {"authorization_servers"}},
        {"NoResource", R"({"authorization_servers":[]})", DecodingError::Kind::keyNotFound, {"resource"}},
        {"EmptyURL", R"({"resource":"r","authorization_servers":["https://a.example",""]})",
         DecodingError::Kind::dataCorrupted, {"authorization_servers", "1"}},
        {"URLWithSpace", R"({"resource":"r","authorization_servers":["https://a b"]})",
         DecodingError::Kind::dataCorrupted, {"authorization_servers", "0"}},
        {"ScopesNotList", R"({"resource":"r","authorization_servers":[],"scopes_supported":"read"})",
         DecodingError::Kind::typeMismatch, {"scopes_supported"}},
        {"NotAnObject", R"([])", DecodingError::Kind::typeMismatch, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            read(c.json);
            ADD_FAILURE() << "decoded";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind, c.kind);
            EXPECT_EQ(error.codingPath, c.path);
            if (c.kind == DecodingError::Kind::dataCorrupted) {
                EXPECT_EQ(error.description, "Invalid URL string.");
            }
        }
    }
}

TEST(DefaultOAuthMetadataDiscoveryTest, MatchesAProtectedResource) {
    struct Case {
        const char* resource;
        const char* endpoint;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"https://api.example", "https://api.example:443/any/path", true},
        {"https://api.example/", "https://api.example/mcp", true},
        {"https://api.example/mcp/", "https://api.example/mcp", true},
        {"https://api.example/mcp", "https://api.example/mcp/", true},
        {"https://api.example/mcp", "https://api.example/mcp/tools", true},
        {"https://api.example/mcp", "https://api.example/mcpx", false},
        {"https://api.example/mcp/tools", "https://api.example/mcp", false},
        {"HTTPS://API.Example/mcp", "https://api.example/mcp", true},
        {"https://api.example/MCP", "https://api.example/mcp", false},
        {"https://api.example/m%63p", "https://api.example/mcp", true},
        {"https://api.example/mcp", "http://api.example/mcp", false},
        {"http://api.example:80/mcp", "http://api.example/mcp", true},
        {"https://api.example:8443/mcp", "https://api.example/mcp", false},
        {"https://api.example:/mcp", "https://api.example:443/mcp", true},
        {"https://user:pw@api.example/mcp?x=1#f", "https://api.example/mcp?y=2", true},
        {"https://other.example/mcp", "https://api.example/mcp", false},
        {"urn:x:mcp", "urn:x:mcp", true},
        {"urn:x", "https://api.example", false},
        {"/mcp", "/mcp/tools", true},
        {"/mcp", "https://api.example/mcp", false},
        {"https://api.example:99999999999999999999999/mcp", "https://api.example:99999999999999999999999/mcp", false},
    };
    DefaultOAuthMetadataDiscovery discovery;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.resource) + " vs " + c.endpoint);
        auto resource = boost::urls::parse_uri_reference(c.resource);
        auto endpoint = boost::urls::parse_uri_reference(c.endpoint);
        ASSERT_TRUE(resource && endpoint);
        EXPECT_EQ(discovery.protectedResourceMatches(*resource, *endpoint), c.matches);
    }
}

}  // namespace
}  // namespace mcp
