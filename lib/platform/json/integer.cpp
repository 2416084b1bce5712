#include "platform/json/integer.hpp"

#include <cmath>
#include <limits>

namespace platform::json {

std::optional<std::int64_t> asInteger(const boost::json::value& value) {
    switch (value.kind()) {
    case boost::json::kind::int64:
        return value.get_int64();
    case boost::json::kind::uint64:
        if (value.get_uint64() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(value.get_uint64());
    case boost::json::kind::double_: {
        double d = value.get_double();
        // 2^63 is exactly representable and one past the range; NaN fails both comparisons. -2^63
        // is left out too: the parser makes every integer in range an int64, so a double -2^63
        // is a number below the range rounded up to it.
        if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return std::nullopt;
        if (std::trunc(d) != d) return std::nullopt;
        return static_cast<std::int64_t>(d);
    }
    default:
        return std::nullopt;
    }
}

}  // namespace platform::json
