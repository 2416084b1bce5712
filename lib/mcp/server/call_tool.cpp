#include "mcp/server/call_tool.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value CallTool::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    if (meta) json.emplace("_meta", meta->toJSON());
    json.emplace("name", name);
    if (arguments) json.emplace("arguments", platform::json::encode(*arguments));
    return json;
}

CallTool::Parameters CallTool::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto meta = platform::json::optional<Metadata>(object, "_meta");
    auto name = platform::json::required<std::string>(object, "name");
    auto arguments = platform::json::optional<std::map<std::string, Value>>(object, "arguments");
    return Parameters(std::move(name), std::move(arguments), std::move(meta));
}

boost::json::value CallTool::Result::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    json.emplace("content", platform::json::encode(content));
    if (structuredContent) json.emplace("structuredContent", structuredContent->toJSON());
    if (isError) json.emplace("isError", *isError);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

CallTool::Result CallTool::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto content = platform::json::required<std::vector<Tool::Content>>(object, "content");
    auto structured = platform::json::optional<boost::json::value>(object, "structuredContent");
    auto isError = platform::json::optional<bool>(object, "isError");
    auto meta = platform::json::optional<Metadata>(object, "_meta");
    return Result(std::move(content), structured ? std::optional<Value>(Value::fromJSON(*structured)) : std::nullopt,
                  isError, std::move(meta));
}

}  // namespace mcp

std::size_t std::hash<mcp::CallTool::Parameters>::operator()(const mcp::CallTool::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.meta, parameters.name, parameters.arguments);
}

std::size_t std::hash<mcp::CallTool::Result>::operator()(const mcp::CallTool::Result& result) const noexcept {
    return mcp::hashValues(result.content, result.structuredContent, result.isError, result.meta);
}
