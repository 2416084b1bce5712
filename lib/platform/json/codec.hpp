#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>
#include <boost/json/value.hpp>

#include "platform/json/decoding_error.hpp"
#include "platform/json/integer.hpp"

namespace platform::json {

/// A type with its own JSON form.
template<class T>
concept JsonCodable = requires(const T& t, const boost::json::value& v) {
    { t.toJSON() } -> std::convertible_to<boost::json::value>;
    { T::fromJSON(v) } -> std::same_as<T>;
};

/// The object inside `value`. Throws DecodingError: valueNotFound for null, typeMismatch for any
/// other kind.
const boost::json::object& asObject(const boost::json::value& value);

namespace detail {

template<class T>
inline constexpr bool isStdOptional = false;
template<class T>
inline constexpr bool isStdOptional<std::optional<T>> = true;

template<class T>
inline constexpr bool isStdVector = false;
template<class T, class Allocator>
inline constexpr bool isStdVector<std::vector<T, Allocator>> = true;

template<class T>
inline constexpr bool isStringMap = false;
template<class T, class Compare, class Allocator>
inline constexpr bool isStringMap<std::map<std::string, T, Compare, Allocator>> = true;

template<class T>
inline constexpr bool isPlainInteger = std::is_integral_v<T> && !std::is_same_v<T, bool>;

/// Throws valueNotFound when `found` is null, typeMismatch otherwise.
[[noreturn]] void throwUnexpected(std::string_view expected, const boost::json::value& found);

/// Throws typeMismatch: `found` is a number but not one that fits `expected`.
[[noreturn]] void throwNumberMismatch(std::string_view expected, const boost::json::value& found);

/// Runs `step`, adding `key` at the front of the coding path of a DecodingError it throws.
template<class Step>
decltype(auto) atPath(std::string_view key, Step&& step) {
    try {
        return std::forward<Step>(step)();
    } catch (DecodingError& error) {
        error.codingPath.insert(error.codingPath.begin(), std::string(key));
        throw;
    }
}

template<class T>
constexpr std::string_view integerName() {
    if constexpr (std::is_same_v<T, std::int8_t>) return "Int8";
    else if constexpr (std::is_same_v<T, std::int16_t>) return "Int16";
    else if constexpr (std::is_same_v<T, std::int32_t>) return "Int32";
    else if constexpr (std::is_same_v<T, std::uint8_t>) return "UInt8";
    else if constexpr (std::is_same_v<T, std::uint16_t>) return "UInt16";
    else if constexpr (std::is_same_v<T, std::uint32_t>) return "UInt32";
    else if constexpr (std::is_unsigned_v<T>) return "UInt";
    else return "Int";
}

}  // namespace detail

template<class T>
T decode(const boost::json::value& value);

/// Reads `value` as a T: bool, std::string, integral types (the integer rule, then the range of T),
/// floating types (any number), boost::json::value (as is), boost::json::object, boost::json::array,
/// std::vector, std::map with std::string keys (any comparator), std::optional (null gives nullopt) and any JsonCodable.
/// Throws DecodingError: null where a value is needed gives valueNotFound (a JsonCodable type gets
/// the null and decides itself), a wrong kind or an unfitting number typeMismatch. Errors inside
/// arrays and objects carry the index or key in their coding path.
template<class T>
T decode(const boost::json::value& value) {
    if constexpr (std::is_same_v<T, boost::json::value>) {
        return value;
    } else if constexpr (detail::isStdOptional<T>) {
        if (value.is_null()) return std::nullopt;
        return decode<typename T::value_type>(value);
    } else if constexpr (JsonCodable<T>) {
        return T::fromJSON(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!value.is_bool()) detail::throwUnexpected("Bool", value);
        return value.get_bool();
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (!value.is_string()) detail::throwUnexpected("String", value);
        const auto& text = value.get_string();
        return std::string(text.data(), text.size());
    } else if constexpr (detail::isPlainInteger<T>) {
        constexpr auto name = detail::integerName<T>();
        if (!value.is_number()) detail::throwUnexpected(name, value);
        auto integer = asInteger(value);
        if (!integer || !std::in_range<T>(*integer)) detail::throwNumberMismatch(name, value);
        return static_cast<T>(*integer);
    } else if constexpr (std::is_floating_point_v<T>) {
        if (!value.is_number()) detail::throwUnexpected("Double", value);
        return static_cast<T>(value.to_number<double>());
    } else if constexpr (std::is_same_v<T, boost::json::object>) {
        return asObject(value);
    } else if constexpr (std::is_same_v<T, boost::json::array>) {
        if (!value.is_array()) detail::throwUnexpected("Array", value);
        return value.get_array();
    } else if constexpr (detail::isStdVector<T>) {
        if (!value.is_array()) detail::throwUnexpected("Array", value);
        const auto& array = value.get_array();
        T result;
        result.reserve(array.size());
        for (std::size_t i = 0; i < array.size(); ++i) {
            result.push_back(detail::atPath(std::to_string(i), [&] {
                return decode<typename T::value_type>(array[i]);
            }));
        }
        return result;
    } else if constexpr (detail::isStringMap<T>) {
        T result;
        for (const auto& member : asObject(value)) {
            std::string_view key = member.key();
            result.insert_or_assign(std::string(key), detail::atPath(key, [&] {
                return decode<typename T::mapped_type>(member.value());
            }));
        }
        return result;
    } else {
        static_assert(!sizeof(T), "no JSON decoding for this type");
    }
}

/// The JSON form of `value`, for the same types as `decode`. An empty optional gives null.
/// Doubles are kept as they are; a NaN or infinity fails later, when the DOM is written.
template<class T>
boost::json::value encode(const T& value) {
    if constexpr (std::is_same_v<T, boost::json::value>) {
        return value;
    } else if constexpr (detail::isStdOptional<T>) {
        if (!value) return nullptr;
        return encode(*value);
    } else if constexpr (JsonCodable<T>) {
        return value.toJSON();
    } else if constexpr (std::is_same_v<T, bool>) {
        return boost::json::value(value);
    } else if constexpr (std::is_same_v<T, std::string>) {
        return boost::json::value(boost::json::string_view(value.data(), value.size()));
    } else if constexpr (detail::isPlainInteger<T>) {
        if constexpr (std::is_signed_v<T>) return boost::json::value(static_cast<std::int64_t>(value));
        else return boost::json::value(static_cast<std::uint64_t>(value));
    } else if constexpr (std::is_floating_point_v<T>) {
        return boost::json::value(static_cast<double>(value));
    } else if constexpr (std::is_same_v<T, boost::json::object> || std::is_same_v<T, boost::json::array>) {
        return boost::json::value(value);
    } else if constexpr (detail::isStdVector<T>) {
        boost::json::array array;
        array.reserve(value.size());
        for (const auto& element : value) array.push_back(encode(element));
        return array;
    } else if constexpr (detail::isStringMap<T>) {
        boost::json::object object;
        object.reserve(value.size());
        for (const auto& [key, element] : value) object.insert_or_assign(key, encode(element));
        return object;
    } else {
        static_assert(!sizeof(T), "no JSON encoding for this type");
    }
}

/// The member `key` of `object` read as a T. Throws DecodingError: keyNotFound when it is missing,
/// otherwise as `decode` (null: valueNotFound; wrong kind: typeMismatch) with `key` in the path.
template<class T>
T required(const boost::json::object& object, std::string_view key) {
    const auto* member = object.if_contains(key);
    if (!member) {
        throw DecodingError(DecodingError::Kind::keyNotFound,
                            "No value associated with key \"" + std::string(key) + "\".",
                            {std::string(key)});
    }
    return detail::atPath(key, [&] { return decode<T>(*member); });
}

/// The member `key` of `object` read as a T, or nullopt when it is missing or null. Throws
/// DecodingError as `decode` for any other value that is no T, with `key` in the path.
template<class T>
std::optional<T> optional(const boost::json::object& object, std::string_view key) {
    const auto* member = object.if_contains(key);
    if (!member || member->is_null()) return std::nullopt;
    return detail::atPath(key, [&] { return decode<T>(*member); });
}

}  // namespace platform::json
