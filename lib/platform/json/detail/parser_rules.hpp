#pragma once

// What every reader of JSON text in the project shares with `parse`, so that a text one of them
// accepts the others accept too, with the same numbers.

#include <boost/json/basic_parser.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

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

/// The numbers a parser hands over in fraction or exponent form, possibly in pieces, read as every
/// reader here reads them.
class NumberReader {
public:
    /// A piece of a number still to come.
    void part(std::string_view piece) { parts_.append(piece); }
    /// An integer ended the number: the pieces are done with.
    void clear() noexcept { parts_.clear(); }
    /// The number whose last piece is `last` (the parser read `d`): the integer it is as written
    /// (`integerAsWritten`), else its correctly rounded double; nothing when it lies beyond the
    /// double range, which no writer could give back.
    std::optional<std::variant<std::int64_t, double>> finish(double d, std::string_view last);

private:
    std::string parts_;
};

/// Throws DecodingError (dataCorrupted, "The given data was not valid JSON.") with the parser's
/// account of `error` as its underlying text.
[[noreturn]] void throwInvalidJSON(const boost::json::error_code& error);

}  // namespace platform::json::detail
