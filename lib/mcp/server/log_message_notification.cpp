#include "mcp/server/log_message_notification.hpp"

#include <boost/json/object.hpp>

#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

boost::json::value LogMessageNotification::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("level", encodeLogLevel(level));
    if (logger) json.emplace("logger", *logger);
    json.emplace("data", data.toJSON());
    return json;
}

LogMessageNotification::Parameters LogMessageNotification::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto level = decodeLogLevel(object, "level");
    auto logger = platform::json::optional<std::string>(object, "logger");
    // The key is required, but null is a payload like any other: the generic helper would refuse it.
    const auto* data = object.if_contains("data");
    if (!data) {
        throw platform::json::DecodingError(platform::json::DecodingError::Kind::keyNotFound,
                                            "No value associated with key \"data\".", {"data"});
    }
    return Parameters{level, std::move(logger), Value::fromJSON(*data)};
}

}  // namespace mcp
