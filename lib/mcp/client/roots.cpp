#include "mcp/client/roots.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value Root::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("uri", uri);
    if (name) json.emplace("name", *name);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

Root Root::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Root{platform::json::required<std::string>(object, "uri"),
                platform::json::optional<std::string>(object, "name"),
                platform::json::optional<Metadata>(object, "_meta")};
}

boost::json::value ListRoots::Result::toJSON() const {
    boost::json::object json;
    json.reserve(2);
    json.emplace("roots", platform::json::encode(roots));
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

ListRoots::Result ListRoots::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Result{platform::json::required<std::vector<Root>>(object, "roots"),
                  platform::json::optional<Metadata>(object, "_meta")};
}

}  // namespace mcp

std::size_t std::hash<mcp::Root>::operator()(const mcp::Root& root) const {
    return mcp::hashValues(root.uri, root.name, root.meta);
}

std::size_t std::hash<mcp::ListRoots::Result>::operator()(const mcp::ListRoots::Result& result) const {
    return mcp::hashValues(result.roots, result.meta);
}
