#include "mcp/base/progress_notification.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value ProgressNotification::Parameters::toJSON() const {
    boost::json::object json;
    json.emplace("progressToken", progressToken.toJSON());
    json.emplace("progress", progress);
    if (total) json.emplace("total", *total);
    if (message) json.emplace("message", *message);
    return json;
}

ProgressNotification::Parameters ProgressNotification::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Parameters{
        platform::json::required<ProgressToken>(object, "progressToken"),
        platform::json::required<double>(object, "progress"),
        platform::json::optional<double>(object, "total"),
        platform::json::optional<std::string>(object, "message"),
    };
}

}  // namespace mcp

std::size_t std::hash<mcp::ProgressNotification::Parameters>::operator()(
    const mcp::ProgressNotification::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.progressToken, parameters.progress, parameters.total, parameters.message);
}
