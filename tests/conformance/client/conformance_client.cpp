// The client the conformance suite drives: `conformance_client <url>`, with the scenario to play
// in MCP_CONFORMANCE_SCENARIO. It talks to the suite's server through the library's client engine
// over the HTTP client transport and exits 0 when everything it asked for was answered. For the
// authorization scenarios it carries the library's OAuth authorizer, configured from the
// credentials the suite hands over in MCP_CONFORMANCE_CONTEXT.

#include "mcp/base/authorization/oauth_authorizer.hpp"
#include "mcp/base/transports/http_client_transport.hpp"
#include "mcp/client/client.hpp"
#include "platform/async/task.hpp"
#include "platform/describe.hpp"
#include "platform/json/parse.hpp"

#include <boost/asio/io_context.hpp>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

namespace asio = boost::asio;
using namespace mcp;

// Accepts a form with every field the schema gives a default for, filled with that default.
asio::awaitable<CreateElicitation::Result> acceptWithDefaults(CreateElicitation::Parameters parameters) {
    CreateElicitation::Result result{CreateElicitation::Result::Action::accept};
    Value::Object content;
    if (auto* form = std::get_if<CreateElicitation::Parameters::FormParameters>(&parameters.value)) {
        for (const auto& [name, schema] : form->requestedSchema.properties) {
            if (auto* fields = schema.objectValue()) {
                if (auto found = fields->find("default"); found != fields->end()) content.emplace(name, found->second);
            }
        }
    }
    result.content = std::move(content);
    co_return result;
}

using Authentication = OAuthConfiguration::TokenEndpointAuthentication;

// The suite's authorization servers run on http://localhost; the client is a program that sets
// its credentials from what it was issued.
std::shared_ptr<OAuthAuthorizer> authorizerFor(const std::string& scenario, const std::string& contextText) {
    const auto context = platform::json::parse(contextText.empty() ? "{}" : contextText);
    const auto text = [&](const char* key) -> std::string {
        const auto* value = context.is_object() ? context.as_object().if_contains(key) : nullptr;
        return value && value->is_string() ? std::string(value->as_string()) : std::string();
    };
    auto grant = OAuthConfiguration::GrantType::authorizationCode;
    if (scenario.starts_with("auth/client-credentials")) grant = OAuthConfiguration::GrantType::clientCredentials;
    auto authentication = Authentication::none("");
    if (scenario == "auth/basic-cimd") {
        // A client ID metadata document URL: the server fetches the client's details itself.
        authentication = Authentication::none("https://conformance-test.local/client-metadata.json");
    } else if (const auto pem = text("private_key_pem"); !pem.empty()) {
        authentication = Authentication::privateKeyJWT(
            text("client_id"), [pem](std::string clientID, boost::urls::url tokenEndpoint) -> asio::awaitable<std::string> {
                // The assertion is meant for the authorization server: its issuer, the endpoint's origin.
                boost::urls::url issuer(tokenEndpoint);
                issuer.set_path("");
                co_return OAuthConfiguration::makePrivateKeyJWTAssertion(
                    clientID, tokenEndpoint, pem, OAuthConfiguration::PrivateKeyJWTSigningAlgorithm::ES256,
                    std::string(issuer.buffer()), std::chrono::system_clock::now(), 300);
            });
    } else if (!text("client_secret").empty()) {
        authentication = Authentication::clientSecretBasic(text("client_id"), text("client_secret"));
    } else if (!text("client_id").empty()) {
        authentication = Authentication::none(text("client_id"));
    }
    OAuthConfiguration configuration(grant, authentication, OAuthConfiguration::RetryPolicy::default_(), {},
                                     std::nullopt, "inkwarden-conformance-client");
    configuration.allowLoopbackHTTPAuthorizationServerEndpoints = true;
    return std::make_shared<OAuthAuthorizer>(configuration);
}

asio::awaitable<void> play(std::string url, std::string scenario) {
    auto executor = co_await asio::this_coro::executor;
    HTTPClientTransport::Options options;
    if (scenario.starts_with("auth/")) {
        const char* context = std::getenv("MCP_CONFORMANCE_CONTEXT");
        options.authorizer = authorizerFor(scenario, context ? context : "");
    }
    auto transport = HTTPClientTransport::create(executor, boost::urls::url(url), options);
    Client::Capabilities capabilities;
    capabilities.elicitation = Client::Capabilities::Elicitation{};
    auto client = Client::create("inkwarden-conformance-client", "1.0.0", std::nullopt, std::nullopt, std::nullopt,
                                 std::nullopt, capabilities);
    client->withElicitationHandler(acceptWithDefaults);
    std::exception_ptr failure;
    try {
        co_await client->connect(transport);
        if (scenario != "initialize") {
            auto tools = co_await client->listTools();
            for (const auto& tool : tools.items) co_await client->callTool(tool.name, std::map<std::string, Value>{});
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The transport's event stream would keep the program running.
    co_await client->disconnect();
    co_await transport->disconnect();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: conformance_client <server-url>\n";
        return 2;
    }
    const char* scenario = std::getenv("MCP_CONFORMANCE_SCENARIO");
    asio::io_context io;
    auto task = platform::spawn(io.get_executor(), play(argv[argc - 1], scenario ? scenario : ""));
    // A scenario that hangs must not leave this program behind the suite.
    io.run_for(std::chrono::seconds(60));
    if (!task.isFinished()) {
        std::cerr << "conformance_client: the scenario did not finish in time\n";
        return 1;
    }
    try {
        task.get();
    } catch (...) {
        std::cerr << "conformance_client: " << platform::describe(std::current_exception()) << "\n";
        return 1;
    }
    return 0;
}
