#pragma once

#include "platform/describe.hpp"
#include "platform/text.hpp"

#include <charconv>
#include <concepts>
#include <exception>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace logging {

/// A value whose text can go into a log message or a metadata value: text, numbers, errors,
/// types with a `description()` member, and anything that writes itself to a std::ostream
/// (functions excluded: a lambda would print as the bool of its function pointer).
template <class T>
concept Describable =
    std::convertible_to<const T&, std::string_view> || std::is_arithmetic_v<T> ||
    std::same_as<T, std::exception_ptr> || std::derived_from<T, std::exception> ||
    requires(const T& value) {
        { value.description() } -> std::convertible_to<std::string_view>;
    } || (!std::is_invocable_v<const T&> && requires(std::ostream& out, const T& value) { out << value; });

/// Appends the text of `value` to `out`: text and `char` as they are, `bool` as "true" or
/// "false", integers in decimal, doubles in their shortest form ("1.0", "0.1"), an error as its
/// description, otherwise `description()` or what `operator<<` writes.
template <Describable T>
void appendDescription(std::string& out, const T& value) {
    if constexpr (std::convertible_to<const T&, std::string_view>) {
        out += std::string_view(value);
    } else if constexpr (std::same_as<T, bool>) {
        out += value ? "true" : "false";
    } else if constexpr (std::same_as<T, char>) {
        out += value;
    } else if constexpr (std::is_floating_point_v<T>) {
        out += platform::describeDouble(static_cast<double>(value));
    } else if constexpr (std::is_arithmetic_v<T>) {
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
        out.append(digits, end);
    } else if constexpr (std::same_as<T, std::exception_ptr>) {
        out += platform::describe(value);
    } else if constexpr (std::derived_from<T, std::exception>) {
        out += value.what();
    } else if constexpr (requires { value.description(); }) {
        out += std::string_view(value.description());
    } else {
        std::ostringstream stream;
        stream << value;
        out += std::move(stream).str();
    }
}

/// The text of `value`, as appendDescription writes it.
template <Describable T>
std::string describeValue(const T& value) {
    std::string text;
    appendDescription(text, value);
    return text;
}

}  // namespace logging
