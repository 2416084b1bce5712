#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include <boost/json/value.hpp>

#include "mcp/base/detail/text_or_integer.hpp"

namespace mcp {

/// A JSON-RPC request id: a string or a signed 64-bit integer. The string "7" and the number 7 are
/// different ids. Built from literals: `ID id = "abc";`, `ID id = 7;`.
class ID {
public:
    enum class Kind { string, number };

    ID(std::string text) noexcept : value_(std::move(text)) {}
    ID(const char* text) : value_(std::string(text)) {}
    ID(std::string_view text) : value_(std::string(text)) {}
    /// A one-character literal is text, not its character code.
    ID(char c) : value_(std::string(1, c)) {}
    template <class T>
        requires std::integral<T> && (!std::same_as<T, bool>) && (!std::same_as<T, char>) &&
                 (std::is_signed_v<T> || sizeof(T) < sizeof(std::int64_t))
    ID(T number) noexcept : value_(static_cast<std::int64_t>(number)) {}

    static ID string(std::string text) { return ID(std::move(text)); }
    static ID number(std::int64_t number) { return ID(number); }

    /// A new string id: a random version-4 UUID in upper-case canonical text.
    static ID random();

    Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
    const std::string* stringValue() const noexcept { return std::get_if<std::string>(&value_); }
    std::optional<std::int64_t> numberValue() const noexcept;

    /// The text unchanged (no quotes) or the number in decimal.
    std::string description() const;

    /// A JSON string or integer.
    boost::json::value toJSON() const;

    /// Reads a string, an integral number within the signed 64-bit range, or null (as the string
    /// id ""). Throws DecodingError (dataCorrupted, "ID must be string or number") otherwise.
    static ID fromJSON(const boost::json::value& json);

    bool operator==(const ID&) const = default;

    std::size_t hash() const noexcept;

private:
    struct FromPayload {};
    ID(FromPayload, detail::TextOrInteger value) noexcept : value_(std::move(value)) {}

    detail::TextOrInteger value_;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ID> {
    std::size_t operator()(const mcp::ID& id) const noexcept { return id.hash(); }
};
