#include "mcp/base/client_configuration.hpp"

#include <boost/json/object.hpp>

#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value ClientConfiguration::toJSON() const {
    return boost::json::object{{"strict", strict}};
}

ClientConfiguration ClientConfiguration::fromJSON(const boost::json::value& json) {
    return ClientConfiguration{platform::json::required<bool>(platform::json::asObject(json), "strict")};
}

}  // namespace mcp
