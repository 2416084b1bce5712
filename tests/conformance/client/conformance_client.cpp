// The client the conformance suite drives: `conformance_client <url>`, with the scenario to play
// in MCP_CONFORMANCE_SCENARIO. It talks to the suite's server through the library's client engine
// over the HTTP client transport and exits 0 when everything it asked for was answered.

#include "mcp/base/transports/http_client_transport.hpp"
#include "mcp/client/client.hpp"
#include "platform/async/task.hpp"
#include "platform/describe.hpp"

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

asio::awaitable<void> play(std::string url, std::string scenario) {
    auto executor = co_await asio::this_coro::executor;
    auto transport = HTTPClientTransport::create(executor, boost::urls::url(url));
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
