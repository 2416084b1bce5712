#pragma once

#include <cstdint>
#include <optional>

#include <boost/json/value.hpp>

namespace platform::json {

/// The one integer rule: a JSON number reads as an integer when its value is integral and within the
/// signed 64-bit range, whatever its written form (3 and 3.0 give 3; 3.5 and 2^63 give nothing).
/// The range is judged on the number as written: the parser turns every integral number in range
/// into an int64, so -9223372036854775809 (a double rounded to -2^63) gives nothing, and so does
/// a double -2^63 made in code. Anything but a number gives nothing.
std::optional<std::int64_t> asInteger(const boost::json::value& value);

}  // namespace platform::json
