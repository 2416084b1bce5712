#pragma once

#include "logging/level.hpp"

#include <boost/json/value.hpp>

namespace logging {

/// A level's serialised form: its name as a JSON string.
boost::json::value levelToJSON(Level level);

/// The level serialised in `value`. Throws platform::json::DecodingError: typeMismatch (or
/// valueNotFound for null) when it is no string, dataCorrupted when it names no level exactly.
Level levelFromJSON(const boost::json::value& value);

}  // namespace logging
