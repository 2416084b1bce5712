#include "mcp/server/list_tools.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value ListTools::Parameters::toJSON() const {
    boost::json::object json;
    if (cursor) json.emplace("cursor", *cursor);
    return json;
}

ListTools::Parameters ListTools::Parameters::fromJSON(const boost::json::value& json) {
    Parameters parameters;
    parameters.cursor = platform::json::optional<std::string>(platform::json::asObject(json), "cursor");
    return parameters;
}

boost::json::value ListTools::Result::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("tools", platform::json::encode(tools));
    if (nextCursor) json.emplace("nextCursor", *nextCursor);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

ListTools::Result ListTools::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Result{platform::json::required<std::vector<Tool>>(object, "tools"),
                  platform::json::optional<std::string>(object, "nextCursor"),
                  platform::json::optional<Metadata>(object, "_meta")};
}

}  // namespace mcp

std::size_t std::hash<mcp::ListTools::Parameters>::operator()(const mcp::ListTools::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.cursor);
}

std::size_t std::hash<mcp::ListTools::Result>::operator()(const mcp::ListTools::Result& result) const noexcept {
    return mcp::hashValues(result.tools, result.nextCursor, result.meta);
}
