#pragma once

// What every reader of JSON text in the project shares with `parse`, so that a text one of them
// accepts the others accept too, with the same numbers.

#include <boost/json/basic_parser.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace platform::json::detail {

/// Nesting up to 512 deep, UTF-8 only, no comments or trailing commas.
const boost::json::parse_options& parseOptions();

/// The correctly rounded value of the number `text`; the parser's own `d` where the text is out of
/// the double range. Boost 1.81 is one unit in the last place off for some texts.
double exactDouble(double d, std::string_view text);

/// The numbers a parser hands over, possibly in pieces, read as every reader here reads them.
class NumberReader {
public:
    /// A piece of a number still to come.
    void part(std::string_view piece) { parts_.append(piece); }
    /// An integer ended the number: the pieces are done with.
    void clear() noexcept { parts_.clear(); }
    /// The correctly rounded value of the number whose last piece is `last` (the parser read
    /// `d`); nothing when it lies beyond the double range, which no writer could give back.
    std::optional<double> finishDouble(double d, std::string_view last);

private:
    std::string parts_;
};

/// Throws DecodingError (dataCorrupted, "The given data was not valid JSON.") with the parser's
/// account of `error` as its underlying text.
[[noreturn]] void throwInvalidJSON(const boost::json::error_code& error);

}  // namespace platform::json::detail
