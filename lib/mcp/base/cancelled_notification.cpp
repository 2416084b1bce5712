#include "mcp/base/cancelled_notification.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value CancelledNotification::Parameters::toJSON() const {
    boost::json::object json;
    if (requestId) json.emplace("requestId", requestId->toJSON());
    if (reason) json.emplace("reason", *reason);
    return json;
}

CancelledNotification::Parameters CancelledNotification::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Parameters{
        platform::json::optional<ID>(object, "requestId"),
        platform::json::optional<std::string>(object, "reason"),
    };
}

}  // namespace mcp

std::size_t std::hash<mcp::CancelledNotification::Parameters>::operator()(
    const mcp::CancelledNotification::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.requestId, parameters.reason);
}
