#include "platform/json/parse.hpp"

#include "platform/json/detail/parser_rules.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <string>

#include <boost/json/basic_parser_impl.hpp>
#include <boost/json/value_stack.hpp>

#include "platform/json/decoding_error.hpp"

namespace platform::json {

namespace {

using boost::json::error_code;
using boost::json::string_view;

/// Builds the DOM as the library's own parser does, except for doubles: Boost.JSON 1.81 reads some
/// of them one unit in the last place off (-2.8861655387583325e-80 came back as ...332e-80), so
/// they are read again from their text, which std::from_chars rounds correctly.
struct Handler {
    static constexpr std::size_t max_object_size = boost::json::object::max_size();
    static constexpr std::size_t max_array_size = boost::json::array::max_size();
    static constexpr std::size_t max_key_size = boost::json::string::max_size();
    static constexpr std::size_t max_string_size = boost::json::string::max_size();

    boost::json::value_stack stack;
    std::string numberParts;  // the beginning of a number the parser met in pieces

    explicit Handler(unsigned char* temp, std::size_t size) : stack({}, temp, size) {}

    bool on_document_begin(error_code&) { return true; }
    bool on_document_end(error_code&) { return true; }
    bool on_object_begin(error_code&) { return true; }
    bool on_object_end(std::size_t n, error_code&) {
        stack.push_object(n);
        return true;
    }
    bool on_array_begin(error_code&) { return true; }
    bool on_array_end(std::size_t n, error_code&) {
        stack.push_array(n);
        return true;
    }
    bool on_key_part(string_view s, std::size_t, error_code&) {
        stack.push_chars(s);
        return true;
    }
    bool on_key(string_view s, std::size_t, error_code&) {
        stack.push_key(s);
        return true;
    }
    bool on_string_part(string_view s, std::size_t, error_code&) {
        stack.push_chars(s);
        return true;
    }
    bool on_string(string_view s, std::size_t, error_code&) {
        stack.push_string(s);
        return true;
    }
    bool on_number_part(string_view s, error_code&) {
        numberParts.append(s.data(), s.size());
        return true;
    }
    bool on_int64(std::int64_t i, string_view, error_code&) {
        numberParts.clear();
        stack.push_int64(i);
        return true;
    }
    bool on_uint64(std::uint64_t u, string_view, error_code&) {
        numberParts.clear();
        stack.push_uint64(u);
        return true;
    }
    bool on_double(double d, string_view s, error_code& error) {
        std::string_view text(s.data(), s.size());
        if (!numberParts.empty()) {
            numberParts.append(text);
            text = numberParts;
        }
        // An integral number in range is an integer however it is written.
        if (auto integer = detail::integerAsWritten(text)) {
            numberParts.clear();
            stack.push_int64(*integer);
            return true;
        }
        double value = detail::exactDouble(d, text);
        numberParts.clear();
        // A number beyond the double range would sit in the DOM as an infinity no writer accepts.
        if (!std::isfinite(value)) {
            error = boost::json::error::exponent_overflow;
            return false;
        }
        stack.push_double(value);
        return true;
    }
    bool on_bool(bool b, error_code&) {
        stack.push_bool(b);
        return true;
    }
    bool on_null(error_code&) {
        stack.push_null();
        return true;
    }
    bool on_comment_part(string_view, error_code&) { return true; }
    bool on_comment(string_view, error_code&) { return true; }
};

[[noreturn]] void fail(const error_code& error) {
    auto failure = DecodingError::dataCorrupted("The given data was not valid JSON.");
    failure.underlying = error.message();
    throw failure;
}

}  // namespace

namespace detail {

const boost::json::parse_options& parseOptions() {
    static const boost::json::parse_options options = [] {
        boost::json::parse_options o;
        // The library's default of 32 refuses ordinary nested schemas and arguments.
        o.max_depth = 512;
        o.allow_comments = false;
        o.allow_trailing_commas = false;
        o.allow_invalid_utf8 = false;
        return o;
    }();
    return options;
}

std::optional<std::int64_t> integerAsWritten(std::string_view text) {
    std::size_t at = 0;
    const bool negative = at < text.size() && text[at] == '-';
    if (negative) ++at;
    std::string digits;  // integer and fraction digits, the decimal point dropped
    std::int64_t fractionSize = 0;
    bool inFraction = false;
    for (; at < text.size(); ++at) {
        char c = text[at];
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
            if (inFraction) ++fractionSize;
        } else if (c == '.' && !inFraction) {
            inFraction = true;
        } else {
            break;
        }
    }
    std::int64_t exponent = 0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        bool negativeExponent = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) negativeExponent = text[at++] == '-';
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            // Beyond any digit count a document can hold: the value is 0 or out of range either way.
            if (exponent < 1'000'000) exponent = exponent * 10 + (text[at] - '0');
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (at != text.size() || digits.empty()) return std::nullopt;

    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty()) return 0;
    // The value is digits x 10^shift.
    std::int64_t shift = exponent - fractionSize;
    if (shift < 0) {
        if (static_cast<std::uint64_t>(-shift) > digits.size()) return std::nullopt;
        auto dropped = digits.size() - static_cast<std::size_t>(-shift);
        if (digits.find_first_not_of('0', dropped) != std::string::npos) return std::nullopt;
        digits.resize(dropped);
    } else if (shift > 0) {
        if (digits.size() + static_cast<std::uint64_t>(shift) > 19) return std::nullopt;
        digits.append(static_cast<std::size_t>(shift), '0');
    }
    constexpr std::string_view largest = "9223372036854775807";
    constexpr std::string_view smallest = "9223372036854775808";  // magnitude of the most negative
    auto limit = negative ? smallest : largest;
    if (digits.size() > limit.size() || (digits.size() == limit.size() && std::string_view(digits) > limit)) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (!negative) return static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(0 - magnitude);
}

double exactDouble(double d, std::string_view text) {
    double value = d;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return d;
    return value;
}

}  // namespace detail

boost::json::value parse(std::string_view text) {
    const auto& options = detail::parseOptions();
    unsigned char temp[4096];
    boost::json::basic_parser<Handler> parser(options, temp, sizeof temp);
    parser.handler().stack.reset();
    error_code error;
    auto used = parser.write_some(false, text.data(), text.size(), error);
    if (!error && used < text.size()) error = boost::json::error::extra_data;
    if (error) fail(error);
    if (!parser.done()) fail(boost::json::error::incomplete);
    return parser.handler().stack.release();
}

}  // namespace platform::json
