// Value::fromJSONText: a parser handler that builds Values as the parser goes, so a document
// is never held twice (DOM and Value) and never walked a second time.

#include "mcp/base/value.hpp"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/json/array.hpp>
#include <boost/json/basic_parser_impl.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "platform/json/detail/parser_rules.hpp"
#include "platform/json/integer.hpp"

namespace mcp {

namespace {

using boost::json::error_code;
using boost::json::string_view;

struct ValueBuilder {
    // The limits of the DOM, so that this reader refuses exactly what `parse` refuses.
    static constexpr std::size_t max_object_size = boost::json::object::max_size();
    static constexpr std::size_t max_array_size = boost::json::array::max_size();
    static constexpr std::size_t max_key_size = boost::json::string::max_size();
    static constexpr std::size_t max_string_size = boost::json::string::max_size();

    // Finished values and the keys of the objects still open, innermost last.
    std::vector<Value> values;
    std::vector<std::string> keys;
    std::string text;  // a string or key the parser hands over in pieces
    platform::json::detail::NumberReader numbers;

    bool on_document_begin(error_code&) { return true; }
    bool on_document_end(error_code&) { return true; }
    bool on_object_begin(error_code&) { return true; }
    bool on_object_end(std::size_t n, error_code&) {
        Value::Object members;
        auto firstValue = values.end() - static_cast<std::ptrdiff_t>(n);
        auto firstKey = keys.end() - static_cast<std::ptrdiff_t>(n);
        for (std::size_t i = 0; i < n; ++i) {
            // A key given twice keeps its later value, as in the DOM.
            members.insert_or_assign(std::move(firstKey[i]), std::move(firstValue[i]));
        }
        values.erase(firstValue, values.end());
        keys.erase(firstKey, keys.end());
        values.emplace_back(std::move(members));
        return true;
    }
    bool on_array_begin(error_code&) { return true; }
    bool on_array_end(std::size_t n, error_code&) {
        auto first = values.end() - static_cast<std::ptrdiff_t>(n);
        Value::Array elements(std::make_move_iterator(first), std::make_move_iterator(values.end()));
        values.erase(first, values.end());
        values.emplace_back(std::move(elements));
        return true;
    }
    bool on_key_part(string_view s, std::size_t, error_code&) {
        text.append(s.data(), s.size());
        return true;
    }
    bool on_key(string_view s, std::size_t, error_code&) {
        keys.push_back(take(s));
        return true;
    }
    bool on_string_part(string_view s, std::size_t, error_code&) {
        text.append(s.data(), s.size());
        return true;
    }
    bool on_string(string_view s, std::size_t, error_code&) {
        auto whole = take(s);
        // Only texts that may be data URLs take the long way, which reads them as the DOM does.
        if (whole.starts_with("data:")) {
            values.push_back(Value::fromJSON(boost::json::value(string_view(whole.data(), whole.size()))));
        } else {
            values.emplace_back(std::move(whole));
        }
        return true;
    }
    bool on_number_part(string_view s, error_code&) {
        numbers.part(s);
        return true;
    }
    bool on_int64(std::int64_t i, string_view, error_code&) {
        numbers.clear();
        values.emplace_back(i);
        return true;
    }
    bool on_uint64(std::uint64_t u, string_view, error_code&) {
        numbers.clear();
        pushNumber(boost::json::value(u));
        return true;
    }
    bool on_double(double d, string_view s, error_code& error) {
        auto value = numbers.finishDouble(d, s);
        if (!value) {
            error = boost::json::error::exponent_overflow;
            return false;
        }
        pushNumber(boost::json::value(*value));
        return true;
    }
    bool on_bool(bool b, error_code&) {
        values.emplace_back(b);
        return true;
    }
    bool on_null(error_code&) {
        values.emplace_back();
        return true;
    }
    bool on_comment_part(string_view, error_code&) { return true; }
    bool on_comment(string_view, error_code&) { return true; }

    /// The text met in pieces ending with `last`, leaving the piece buffer empty.
    std::string take(string_view last) {
        if (text.empty()) return std::string(last.data(), last.size());
        text.append(last.data(), last.size());
        std::string whole = std::move(text);
        text.clear();
        return whole;
    }

    /// The one integer rule: integral numbers in the signed 64-bit range are ints.
    void pushNumber(const boost::json::value& number) {
        if (auto integer = platform::json::asInteger(number)) {
            values.emplace_back(*integer);
        } else {
            values.emplace_back(number.to_number<double>());
        }
    }
};

}  // namespace

Value Value::fromJSONText(std::string_view text) {
    boost::json::basic_parser<ValueBuilder> parser(platform::json::detail::parseOptions());
    error_code error;
    auto used = parser.write_some(false, text.data(), text.size(), error);
    if (!error && used < text.size()) error = boost::json::error::extra_data;
    if (error) platform::json::detail::throwInvalidJSON(error);
    if (!parser.done()) platform::json::detail::throwInvalidJSON(boost::json::error::incomplete);
    return std::move(parser.handler().values.back());
}

}  // namespace mcp
