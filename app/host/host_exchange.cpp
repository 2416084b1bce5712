#include "host/host_exchange.hpp"

#include "host/bearer_token_validator.hpp"
#include "host/mcp_host.hpp"
#include "mcp/base/transports/http_server/accept_header_validator.hpp"
#include "mcp/base/transports/http_server/content_type_validator.hpp"
#include "mcp/base/transports/http_server/origin_validator.hpp"
#include "mcp/base/transports/http_server/protocol_version_validator.hpp"
#include "mcp/base/transports/http_server/standard_validation_pipeline.hpp"
#include "mcp/base/transports/http_server/stateless_http_server_transport.hpp"
#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/server.hpp"
#include "platform/describe.hpp"
#include "platform/utf8.hpp"
#include "shell/app_settings.hpp"

namespace inkwarden {

namespace asio = boost::asio;

namespace {

constexpr const char* kInstructions[] = {
    "Inkwarden lets you ask the user for a handwritten signature on their computer. Nothing is signed without them: "
    "every request opens a window where they draw the signature and confirm.",
    "If you have the document as a PDF or image file, use sign_document: the user signs on the page and you get the "
    "signed PDF back, with nothing to place yourself. For several files at once, use sign_documents: one window, one "
    "signature, a signed PDF per file. If there is no such file (a web form, a document you build yourself), use "
    "request_signature: you get the signature as a PNG (black ink, transparent background) to place where it belongs.",
    "Inkwarden is sandboxed and can't read your folders. Copy a file into its inbox (the path is in the tool "
    "descriptions and in get_company_profile) and pass that path; the copy is deleted afterwards.",
    "When the user signs for their company rather than as a private person, set company to true: their name, role and "
    "company are printed below the signature, if they've set that up. Set stamp to true if the document also needs "
    "the company stamp, or call request_stamp for a stamp alone. If the user asks you to set up or change their "
    "company text or stamp, use set_company_text, set_company_stamp and remove_company_stamp; the user confirms each "
    "change in a window. Don't change them on your own initiative.",
    "Signatures are disposable: every request is drawn fresh, the files are deleted after ten minutes, and nothing is "
    "kept for reuse. Call discard_signatures once you've used them. Never reuse a signature for another document. If "
    "the user cancels, don't ask again unless they tell you to.",
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/// The checks after the token's, shared by every exchange: they keep no state.
const std::vector<std::shared_ptr<const mcp::HTTPRequestValidator>>& sharedValidators() {
    static const std::vector<std::shared_ptr<const mcp::HTTPRequestValidator>> validators{
        std::make_shared<mcp::OriginValidator>(mcp::OriginValidator::localhost()),
        std::make_shared<mcp::AcceptHeaderValidator>(mcp::AcceptHeaderValidator::Mode::jsonOnly),
        std::make_shared<mcp::ContentTypeValidator>(),
        std::make_shared<mcp::ProtocolVersionValidator>(),
    };
    return validators;
}

/// The answer to tools/list, built once and shared by every exchange.
const std::shared_ptr<const mcp::ListTools::Result>& catalogList() {
    static const auto list =
        std::make_shared<const mcp::ListTools::Result>(mcp::ListTools::Result{Tools::all(), std::nullopt, std::nullopt});
    return list;
}

/// A tool's failure is its result, never a JSON-RPC error.
asio::awaitable<mcp::CallTool::Result> callTool(const Tools* tools, std::optional<std::string> client,
                                                mcp::CallTool::Parameters parameters) {
    std::exception_ptr failure;
    try {
        auto contents = co_await tools->call(std::move(parameters.name),
                                             std::move(parameters.arguments).value_or(Tools::Arguments{}),
                                             std::move(client));
        co_return mcp::CallTool::Result(std::move(contents), std::nullopt, false);
    } catch (...) {
        failure = std::current_exception();
    }
    co_return mcp::CallTool::Result({mcp::Tool::Content::text(platform::describe(failure))}, std::nullopt, true);
}

}  // namespace

HostExchange::HostExchange(MainThread& mainThread, HostStatus& status, const Tools& tools)
    : mainThread_(mainThread), status_(status), tools_(tools) {}

const std::string& HostExchange::instructions() {
    static const std::string text = [] {
        std::string joined;
        for (const auto* paragraph : kInstructions) {
            if (!joined.empty()) joined += "\n\n";
            joined += paragraph;
        }
        return joined;
    }();
    return text;
}

std::optional<std::string> HostExchange::percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hexDigit(text[i + 1]);
        int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!platform::isValidUTF8(decoded)) return std::nullopt;
    return decoded;
}

asio::awaitable<void> HostExchange::noteClient(std::string name) const {
    auto& status = status_;
    auto note = mainThread_.call([&status, name] {
        status.setLastClient(name);
        // Written once: the relay names its client on every request.
        if (!AppSettings::hasConnectedClient()) AppSettings::setHasConnectedClient(true);
    });
    co_await std::move(note);
}

asio::awaitable<void> HostExchange::noteInitializedClient(std::string name) const {
    try {
        co_await noteClient(std::move(name));
    } catch (...) {
        // Recording the client never fails the initialisation.
    }
}

asio::awaitable<mcp::HTTPResponse> HostExchange::handle(mcp::HTTPRequest request, std::string token) const {
    auto tokenCheck = std::make_shared<BearerTokenValidator>(std::move(token));
    std::vector<std::shared_ptr<const mcp::HTTPRequestValidator>> validators{tokenCheck};
    const auto& shared = sharedValidators();
    validators.insert(validators.end(), shared.begin(), shared.end());
    auto pipeline = std::make_shared<mcp::StandardValidationPipeline>(std::move(validators));
    auto transport = std::make_shared<mcp::StatelessHTTPServerTransport>(pipeline);

    // Only a client that holds the token may name itself.
    std::optional<std::string> client;
    if (auto header = request.header("X-Inkwarden-Client"); header && tokenCheck->accepts(request)) {
        client = percentDecoded(*header);
        if (client) {
            try {
                co_await noteClient(*client);
            } catch (...) {
                // The settings could not be written; the request is served all the same.
            }
        }
    }

    auto server = mcp::Server::create("inkwarden", MCPHost::appVersion(), "Inkwarden", instructions(),
                                      mcp::Server::Capabilities{.tools = {{true}}});
    server->withMethodHandler<mcp::ListTools>(
        [](mcp::ListTools::Parameters) -> asio::awaitable<std::shared_ptr<const mcp::ListTools::Result>> {
            co_return catalogList();
        });
    const Tools* tools = &tools_;
    server->withMethodHandler<mcp::CallTool>([tools, client](mcp::CallTool::Parameters parameters) {
        return callTool(tools, client, std::move(parameters));
    });

    auto initializeHook = [this](mcp::ClientInfo info, mcp::ClientCapabilities) {
        return noteInitializedClient(info.title.value_or(info.name));
    };
    std::exception_ptr startFailure;
    try {
        co_await server->start(transport, initializeHook);
    } catch (...) {
        startFailure = std::current_exception();
    }
    if (startFailure)
        co_return mcp::HTTPResponse::error(500, mcp::MCPError::internalError(platform::describe(startFailure)));

    auto response = co_await transport->handleRequest(std::move(request));
    co_await server->stop();
    co_return response;
}

}  // namespace inkwarden
