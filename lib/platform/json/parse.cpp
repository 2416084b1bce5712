#include "platform/json/parse.hpp"

#include "platform/json/detail/parser_rules.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
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
    detail::NumberReader numbers;

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
        numbers.part(s);
        return true;
    }
    bool on_int64(std::int64_t i, string_view, error_code&) {
        numbers.clear();
        stack.push_int64(i);
        return true;
    }
    bool on_uint64(std::uint64_t u, string_view, error_code&) {
        numbers.clear();
        stack.push_uint64(u);
        return true;
    }
    bool on_double(double d, string_view s, error_code& error) {
        auto value = numbers.finishDouble(d, s);
        // A number beyond the double range would sit in the DOM as an infinity no writer accepts.
        if (!value) {
            error = boost::json::error::exponent_overflow;
            return false;
        }
        stack.push_double(*value);
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

double exactDouble(double d, std::string_view text) {
    double value = d;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return d;
    return value;
}

std::optional<double> NumberReader::finishDouble(double d, std::string_view last) {
    double value;
    if (parts_.empty()) {
        value = exactDouble(d, last);
    } else {
        parts_.append(last);
        value = exactDouble(d, parts_);
        parts_.clear();
    }
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

void throwInvalidJSON(const boost::json::error_code& error) {
    auto failure = DecodingError::dataCorrupted("The given data was not valid JSON.");
    failure.underlying = error.message();
    throw failure;
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
    if (error) detail::throwInvalidJSON(error);
    if (!parser.done()) detail::throwInvalidJSON(boost::json::error::incomplete);
    return parser.handler().stack.release();
}

}  // namespace platform::json
