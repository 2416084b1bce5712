#include "mcp/server/prompt_methods.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/detail/page_coding.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

using platform::json::optional;
using platform::json::required;

boost::json::value ListPrompts::Result::toJSON() const {
    return detail::writePage("prompts", prompts, nextCursor, meta);
}

ListPrompts::Result ListPrompts::Result::fromJSON(const boost::json::value& json) {
    return detail::readPage<Result, Prompt>(json, "prompts");
}

boost::json::value GetPrompt::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(2);
    json.emplace("name", name);
    if (arguments) json.emplace("arguments", platform::json::encode(*arguments));
    return json;
}

GetPrompt::Parameters GetPrompt::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto name = required<std::string>(object, "name");
    return Parameters{std::move(name), optional<std::map<std::string, std::string>>(object, "arguments")};
}

boost::json::value GetPrompt::Result::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    if (description) json.emplace("description", *description);
    json.emplace("messages", platform::json::encode(messages));
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

GetPrompt::Result GetPrompt::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto description = optional<std::string>(object, "description");
    auto messages = required<std::vector<Prompt::Message>>(object, "messages");
    return Result{std::move(description), std::move(messages), optional<Metadata>(object, "_meta")};
}

}  // namespace mcp

std::size_t std::hash<mcp::ListPrompts::Result>::operator()(const mcp::ListPrompts::Result& result) const noexcept {
    return mcp::hashValues(result.prompts, result.nextCursor, result.meta);
}

std::size_t std::hash<mcp::GetPrompt::Parameters>::operator()(
    const mcp::GetPrompt::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.name, parameters.arguments);
}

std::size_t std::hash<mcp::GetPrompt::Result>::operator()(const mcp::GetPrompt::Result& result) const noexcept {
    return mcp::hashValues(result.description, result.messages, result.meta);
}
