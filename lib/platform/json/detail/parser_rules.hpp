#pragma once

// What every reader of JSON text in the project shares with `parse`, so that a text one of them
// accepts the others accept too, with the same numbers.

#include <boost/json/basic_parser.hpp>

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform::json::detail {

/// Nesting up to 512 deep, UTF-8 only, no comments or trailing commas.
const boost::json::parse_options& parseOptions();

/// The correctly rounded value of the number `text`; the parser's own `d` where the text is out of
/// the double range. Boost 1.81 is one unit in the last place off for some texts.
double exactDouble(double d, std::string_view text);

/// The integer that the number `text` (one JSON number in fraction or exponent form) stands for as
/// written, when it is integral and within the signed 64-bit range: "3.0", "1e2" and
/// "9223372036854775807.0" give one; "3.5", "9223372036854775808" and "-9223372036854775809" give
/// nothing. Judged on the digits, never on the rounded double.
std::optional<std::int64_t> integerAsWritten(std::string_view text);

}  // namespace platform::json::detail
