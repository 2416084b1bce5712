#include "mcp/server/prompt.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/detail/raw_values.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

using platform::json::optional;
using platform::json::required;

constexpr detail::RawValues<Prompt::Message::Role, 2> roles{
    "Role", {{{Prompt::Message::Role::user, "user"}, {Prompt::Message::Role::assistant, "assistant"}}}};

void putOptional(boost::json::object& json, std::string_view key, const std::optional<std::string>& text) {
    if (text) json.emplace(key, *text);
}

}  // namespace

std::string_view rawValue(Prompt::Message::Role role) noexcept {
    return roles.text(role);
}

boost::json::value Prompt::Argument::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    json.emplace("name", name);
    putOptional(json, "title", title);
    putOptional(json, "description", description);
    if (required) json.emplace("required", *required);
    return json;
}

Prompt::Argument Prompt::Argument::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Argument argument{platform::json::required<std::string>(object, "name")};
    argument.title = optional<std::string>(object, "title");
    argument.description = optional<std::string>(object, "description");
    argument.required = optional<bool>(object, "required");
    return argument;
}

boost::json::value Prompt::Message::toJSON() const {
    boost::json::object json;
    json.reserve(2);
    json.emplace("role", rawValue(role));
    json.emplace("content", content.toJSON());
    return json;
}

Prompt::Message Prompt::Message::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto role = roles.required(object, "role");
    return {role, required<Content>(object, "content")};
}

boost::json::value Prompt::Reference::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("type", "ref/prompt");
    json.emplace("name", name);
    putOptional(json, "title", title);
    return json;
}

Prompt::Reference Prompt::Reference::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    required<std::string>(object, "type");
    auto name = required<std::string>(object, "name");
    return {std::move(name), optional<std::string>(object, "title")};
}

boost::json::value Prompt::toJSON() const {
    boost::json::object json;
    json.reserve(6);
    json.emplace("name", name);
    putOptional(json, "title", title);
    putOptional(json, "description", description);
    if (arguments) json.emplace("arguments", platform::json::encode(*arguments));
    if (icons) json.emplace("icons", platform::json::encode(*icons));
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

Prompt Prompt::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Prompt prompt{required<std::string>(object, "name")};
    prompt.title = optional<std::string>(object, "title");
    prompt.description = optional<std::string>(object, "description");
    prompt.arguments = optional<std::vector<Argument>>(object, "arguments");
    prompt.icons = optional<std::vector<Icon>>(object, "icons");
    prompt.meta = optional<Metadata>(object, "_meta");
    return prompt;
}

}  // namespace mcp

std::size_t std::hash<mcp::Prompt::Argument>::operator()(const mcp::Prompt::Argument& argument) const noexcept {
    return mcp::hashValues(argument.name, argument.title, argument.description, argument.required);
}

std::size_t std::hash<mcp::Prompt::Message>::operator()(const mcp::Prompt::Message& message) const noexcept {
    return mcp::hashValues(static_cast<int>(message.role), message.content);
}

std::size_t std::hash<mcp::Prompt::Reference>::operator()(const mcp::Prompt::Reference& reference) const noexcept {
    return mcp::hashValues(reference.name, reference.title);
}

std::size_t std::hash<mcp::Prompt>::operator()(const mcp::Prompt& prompt) const noexcept {
    return mcp::hashValues(prompt.name, prompt.title, prompt.description, prompt.arguments, prompt.icons,
                           prompt.meta);
}
