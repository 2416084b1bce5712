#include "logging/level_json.hpp"

#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

#include <string>

namespace logging {

boost::json::value levelToJSON(Level level) { return boost::json::string(rawValue(level)); }

Level levelFromJSON(const boost::json::value& value) {
    const auto name = platform::json::decode<std::string>(value);
    if (auto level = levelFromRawValue(name)) return *level;
    throw platform::json::DecodingError::dataCorrupted("Cannot initialize Level from invalid String value " + name);
}

}  // namespace logging
