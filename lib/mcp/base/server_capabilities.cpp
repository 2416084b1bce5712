#include "mcp/base/server_capabilities.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

void writeFlag(boost::json::object& json, std::string_view key, const std::optional<bool>& flag) {
    if (flag) json.emplace(key, *flag);
}

std::optional<bool> readFlag(const boost::json::value& json, std::string_view key) {
    return platform::json::optional<bool>(platform::json::asObject(json), key);
}

}  // namespace

boost::json::value ServerCapabilities::Prompts::toJSON() const {
    boost::json::object json;
    writeFlag(json, "listChanged", listChanged);
    return json;
}

ServerCapabilities::Prompts ServerCapabilities::Prompts::fromJSON(const boost::json::value& json) {
    return Prompts{readFlag(json, "listChanged")};
}

boost::json::value ServerCapabilities::Resources::toJSON() const {
    boost::json::object json;
    writeFlag(json, "subscribe", subscribe);
    writeFlag(json, "listChanged", listChanged);
    return json;
}

ServerCapabilities::Resources ServerCapabilities::Resources::fromJSON(const boost::json::value& json) {
    auto subscribe = readFlag(json, "subscribe");
    return Resources{subscribe, readFlag(json, "listChanged")};
}

boost::json::value ServerCapabilities::Tools::toJSON() const {
    boost::json::object json;
    writeFlag(json, "listChanged", listChanged);
    return json;
}

ServerCapabilities::Tools ServerCapabilities::Tools::fromJSON(const boost::json::value& json) {
    return Tools{readFlag(json, "listChanged")};
}

boost::json::value ServerCapabilities::toJSON() const {
    boost::json::object json;
    if (completions) json.emplace("completions", completions->toJSON());
    if (logging) json.emplace("logging", logging->toJSON());
    if (prompts) json.emplace("prompts", prompts->toJSON());
    if (resources) json.emplace("resources", resources->toJSON());
    if (tools) json.emplace("tools", tools->toJSON());
    return json;
}

ServerCapabilities ServerCapabilities::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    ServerCapabilities capabilities;
    // Empty reads from any value, so any non-null "completions" or "logging" declares it.
    capabilities.completions = platform::json::optional<Completions>(object, "completions");
    capabilities.logging = platform::json::optional<Logging>(object, "logging");
    capabilities.prompts = platform::json::optional<Prompts>(object, "prompts");
    capabilities.resources = platform::json::optional<Resources>(object, "resources");
    capabilities.tools = platform::json::optional<Tools>(object, "tools");
    return capabilities;
}

}  // namespace mcp

std::size_t std::hash<mcp::ServerCapabilities::Prompts>::operator()(
    const mcp::ServerCapabilities::Prompts& prompts) const noexcept {
    return mcp::hashValues(prompts.listChanged);
}

std::size_t std::hash<mcp::ServerCapabilities::Resources>::operator()(
    const mcp::ServerCapabilities::Resources& resources) const noexcept {
    return mcp::hashValues(resources.subscribe, resources.listChanged);
}

std::size_t std::hash<mcp::ServerCapabilities::Tools>::operator()(
    const mcp::ServerCapabilities::Tools& tools) const noexcept {
    return mcp::hashValues(tools.listChanged);
}

std::size_t std::hash<mcp::ServerCapabilities>::operator()(const mcp::ServerCapabilities& capabilities) const noexcept {
    return mcp::hashValues(capabilities.completions, capabilities.logging, capabilities.prompts,
                           capabilities.resources, capabilities.tools);
}
