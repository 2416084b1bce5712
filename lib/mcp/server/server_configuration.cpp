#include "mcp/server/server_configuration.hpp"

#include <boost/json/object.hpp>

#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value ServerConfiguration::toJSON() const {
    boost::json::object json;
    json.emplace("strict", strict);
    return json;
}

ServerConfiguration ServerConfiguration::fromJSON(const boost::json::value& json) {
    return ServerConfiguration{platform::json::required<bool>(platform::json::asObject(json), "strict")};
}

}  // namespace mcp
