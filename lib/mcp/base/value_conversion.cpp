#include "mcp/base/value_conversion.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "platform/text.hpp"

namespace mcp {

namespace {

constexpr std::array<std::string_view, 6> kTrueTexts{"true", "t", "yes", "y", "on", "1"};
constexpr std::array<std::string_view, 6> kFalseTexts{"false", "f", "no", "n", "off", "0"};

bool contains(const std::array<std::string_view, 6>& texts, std::string_view text) {
    for (auto candidate : texts) {
        if (candidate == text) return true;
    }
    return false;
}

// An optional sign and one or more ASCII digits, nothing else.
std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    // from_chars takes "-" but not "+".
    std::string_view readable = text.front() == '+' ? digits : text;
    std::int64_t result = 0;
    auto [end, error] = std::from_chars(readable.data(), readable.data() + readable.size(), result);
    if (error != std::errc() || end != readable.data() + readable.size()) return std::nullopt;
    return result;
}

std::optional<double> parseDouble(std::string_view text) {
    // from_chars takes "-" but not "+"; allow one "+" and no sign after it.
    std::string_view readable = text;
    if (readable.starts_with('+')) {
        readable.remove_prefix(1);
        if (readable.starts_with('-')) return std::nullopt;
    }
    if (readable.empty()) return std::nullopt;
    double result = 0;
    auto [end, error] = std::from_chars(readable.data(), readable.data() + readable.size(), result);
    if (error != std::errc() || end != readable.data() + readable.size()) return std::nullopt;
    return result;
}

}  // namespace

std::optional<bool> toBool(const Value& value, bool strict) {
    if (auto boolean = value.boolValue()) return *boolean;
    if (strict) return std::nullopt;
    if (auto integer = value.intValue()) {
        if (*integer == 0) return false;
        if (*integer == 1) return true;
        return std::nullopt;
    }
    if (auto number = value.doubleValue()) {
        if (*number == 0.0) return false;
        if (*number == 1.0) return true;
        return std::nullopt;
    }
    if (auto text = value.stringValue()) {
        if (contains(kTrueTexts, *text)) return true;
        if (contains(kFalseTexts, *text)) return false;
    }
    return std::nullopt;
}

std::optional<std::int64_t> toInt(const Value& value, bool strict) {
    if (auto integer = value.intValue()) return *integer;
    if (strict) return std::nullopt;
    if (auto number = value.doubleValue()) {
        double x = *number;
        // -2^63 is exact and in range, 2^63 is one past it; NaN fails both.
        if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0) || std::trunc(x) != x) return std::nullopt;
        return static_cast<std::int64_t>(x);
    }
    if (auto text = value.stringValue()) return parseInteger(*text);
    return std::nullopt;
}

std::optional<double> toDouble(const Value& value, bool strict) {
    if (auto number = value.doubleValue()) return *number;
    if (auto integer = value.intValue()) return static_cast<double>(*integer);
    if (strict) return std::nullopt;
    if (auto text = value.stringValue()) return parseDouble(*text);
    return std::nullopt;
}

std::optional<std::string> toString(const Value& value, bool strict) {
    if (auto text = value.stringValue()) return std::string(*text);
    if (strict) return std::nullopt;
    if (auto boolean = value.boolValue()) return *boolean ? "true" : "false";
    if (auto integer = value.intValue()) return std::to_string(*integer);
    if (auto number = value.doubleValue()) return platform::describeDouble(*number);
    return std::nullopt;
}

}  // namespace mcp
