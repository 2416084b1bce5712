#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mcp/base/value.hpp"

namespace mcp {

// Conversions from a Value to plain types. Strict ones take only the matching case (and an int as
// a double); lenient ones also read across cases: "yes" as true, the text "+42" or the double 4.0
// as 42 and 4, and so on. They never throw; what does not convert gives nothing.

std::optional<bool> toBool(const Value& value, bool strict);
std::optional<std::int64_t> toInt(const Value& value, bool strict);
std::optional<double> toDouble(const Value& value, bool strict);
std::optional<std::string> toString(const Value& value, bool strict);

}  // namespace mcp
