#pragma once

#include <string_view>

#include <boost/json/value.hpp>

namespace platform::json {

/// Parses one JSON text (any value at the top, nesting up to 512 deep, UTF-8 only, no comments or
/// trailing commas). Objects keep their members in text order; a repeated key keeps the last value.
/// Throws DecodingError (dataCorrupted, "The given data was not valid JSON.") with the parser's
/// message in `underlying`.
boost::json::value parse(std::string_view text);

}  // namespace platform::json
