// The fixture's resources, resource templates, prompts and completions, as the scenarios ask
// for them by name.
#include "conformance/conformance_fixture.hpp"

#include "mcp/server/complete.hpp"
#include "platform/base64.hpp"
#include "mcp/server/prompt_methods.hpp"
#include "mcp/server/resource_methods.hpp"

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace conformance {

namespace asio = boost::asio;
using namespace mcp;

namespace {

constexpr std::string_view kTemplatePrefix = "test://template/";
constexpr std::string_view kTemplateSuffix = "/data";

std::vector<Resource> fixtureResources() {
    return {
        Resource("static-text", "test://static-text", std::nullopt, "A static text resource", "text/plain"),
        Resource("static-binary", "test://static-binary", std::nullopt, "A static PNG image", "image/png"),
        Resource("watched-resource", "test://watched-resource", std::nullopt, "A resource to subscribe to",
                 "text/plain"),
    };
}

/// The id in "test://template/{id}/data", or nothing for any other URI.
std::optional<std::string> templateID(std::string_view uri) {
    if (!uri.starts_with(kTemplatePrefix) || !uri.ends_with(kTemplateSuffix)) return std::nullopt;
    auto id = uri.substr(kTemplatePrefix.size(), uri.size() - kTemplatePrefix.size() - kTemplateSuffix.size());
    if (id.empty() || id.find('/') != std::string_view::npos) return std::nullopt;
    return std::string(id);
}

ReadResource::Result read(const std::string& uri) {
    if (uri == "test://static-text") {
        return {{Resource::Content::text_("This is the content of the static text resource.", uri, "text/plain")}};
    }
    if (uri == "test://static-binary") {
        auto png = platform::base64Decode(kFixturePNG);
        return {{Resource::Content::binary(png.value_or(""), uri, "image/png")}};
    }
    if (uri == "test://watched-resource") {
        return {{Resource::Content::text_("This resource is watched for changes.", uri, "text/plain")}};
    }
    if (auto id = templateID(uri)) {
        auto data = R"({"id":")" + *id + R"(","templateTest":true,"data":"Data for ID: )" + *id + R"("})";
        return {{Resource::Content::text_(std::move(data), uri, "application/json")}};
    }
    throw MCPError::invalidParams("Unknown resource: " + uri);
}

std::vector<Prompt> fixturePrompts() {
    auto required = [](std::string name, std::string description) {
        return Prompt::Argument{std::move(name), std::nullopt, std::move(description), true};
    };
    return {
        Prompt{"test_simple_prompt", std::nullopt, "A simple prompt without arguments"},
        Prompt{"test_prompt_with_arguments", std::nullopt, "A prompt with two arguments",
               std::vector{required("arg1", "First test argument"), required("arg2", "Second test argument")}},
        Prompt{"test_prompt_with_embedded_resource", std::nullopt, "A prompt embedding a resource",
               std::vector{required("resourceUri", "URI of the resource to embed")}},
        Prompt{"test_prompt_with_image", std::nullopt, "A prompt with an image"},
    };
}

/// The argument `name` of a "prompts/get", which the prompt requires.
std::string argument(const GetPrompt::Parameters& params, const std::string& name) {
    if (params.arguments) {
        if (auto found = params.arguments->find(name); found != params.arguments->end()) return found->second;
    }
    throw MCPError::invalidParams("Missing required argument: " + name);
}

GetPrompt::Result getPrompt(const GetPrompt::Parameters& params) {
    using Message = Prompt::Message;
    using Content = Message::Content;
    if (params.name == "test_simple_prompt") {
        return {std::nullopt, {Message::user("This is a simple prompt for testing.")}};
    }
    if (params.name == "test_prompt_with_arguments") {
        auto text = "Prompt with arguments: arg1='" + argument(params, "arg1") + "', arg2='" +
                    argument(params, "arg2") + "'";
        return {std::nullopt, {Message::user(std::move(text))}};
    }
    if (params.name == "test_prompt_with_embedded_resource") {
        auto resource = Resource::Content::text_("Embedded resource content for testing.",
                                                 argument(params, "resourceUri"), "text/plain");
        return {std::nullopt,
                {Message::user(Content::Resource{std::move(resource)}),
                 Message::user("Please process the embedded resource above.")}};
    }
    if (params.name == "test_prompt_with_image") {
        return {std::nullopt,
                {Message::user(Content::image(std::string(kFixturePNG), "image/png")),
                 Message::user("Please analyze the image above.")}};
    }
    throw MCPError::invalidParams("Unknown prompt: " + params.name);
}

/// Candidates for any argument: those starting with what was typed.
Complete::Result complete(const Complete::Parameters& params) {
    static const std::vector<std::string> candidates{"paris", "park", "party", "hello", "world"};
    std::vector<std::string> values;
    for (const auto& candidate : candidates) {
        if (candidate.starts_with(params.argument.value)) values.push_back(candidate);
    }
    auto total = static_cast<std::int64_t>(values.size());
    return {{std::move(values), total, false}};
}

}  // namespace

void registerConformanceFeatures(Server& server) {
    server.withMethodHandler<ListResources>([](CursorParameters) -> asio::awaitable<ListResources::Result> {
        co_return ListResources::Result{fixtureResources()};
    });
    server.withMethodHandler<ListResourceTemplates>(
        [](CursorParameters) -> asio::awaitable<ListResourceTemplates::Result> {
            co_return ListResourceTemplates::Result{{Resource::Template{
                "test://template/{id}/data", "template-data", std::nullopt, "Data for any id", "application/json"}}};
        });
    server.withMethodHandler<ReadResource>([](ResourceParameters params) -> asio::awaitable<ReadResource::Result> {
        co_return read(params.uri);
    });
    // Subscriptions belong to the connection: one fixture server serves one session.
    auto subscriptions = std::make_shared<std::set<std::string>>();
    server.withMethodHandler<ResourceSubscribe>([subscriptions](ResourceParameters params) -> asio::awaitable<Empty> {
        subscriptions->insert(params.uri);
        co_return Empty{};
    });
    server.withMethodHandler<ResourceUnsubscribe>(
        [subscriptions](ResourceParameters params) -> asio::awaitable<Empty> {
            subscriptions->erase(params.uri);
            co_return Empty{};
        });
    server.withMethodHandler<ListPrompts>([](CursorParameters) -> asio::awaitable<ListPrompts::Result> {
        co_return ListPrompts::Result{fixturePrompts()};
    });
    server.withMethodHandler<GetPrompt>([](GetPrompt::Parameters params) -> asio::awaitable<GetPrompt::Result> {
        co_return getPrompt(params);
    });
    server.withMethodHandler<Complete>([](Complete::Parameters params) -> asio::awaitable<Complete::Result> {
        co_return complete(params);
    });
}

}  // namespace conformance
