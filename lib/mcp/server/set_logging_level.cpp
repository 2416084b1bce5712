#include "mcp/server/set_logging_level.hpp"

#include <boost/json/object.hpp>

#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value SetLoggingLevel::Parameters::toJSON() const {
    boost::json::object json;
    json.emplace("level", encodeLogLevel(level));
    return json;
}

SetLoggingLevel::Parameters SetLoggingLevel::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Parameters{decodeLogLevel(object, "level")};
}

}  // namespace mcp
