#include "mcp/base/cursor_parameters.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value CursorParameters::toJSON() const {
    boost::json::object json;
    if (cursor) json.emplace("cursor", *cursor);
    return json;
}

CursorParameters CursorParameters::fromJSON(const boost::json::value& json) {
    CursorParameters parameters;
    parameters.cursor = platform::json::optional<std::string>(platform::json::asObject(json), "cursor");
    return parameters;
}

}  // namespace mcp

std::size_t std::hash<mcp::CursorParameters>::operator()(const mcp::CursorParameters& parameters) const noexcept {
    return mcp::hashValues(parameters.cursor);
}
