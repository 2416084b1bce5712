#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include <boost/json/value.hpp>

#include "mcp/base/detail/text_or_integer.hpp"

namespace mcp {

/// The token naming a request in progress notifications: a string or a signed 64-bit integer.
/// Built only from its cases: `ProgressToken::string("t")`, `ProgressToken::integer(5)`.
class ProgressToken {
public:
    enum class Kind { string, integer };

    static ProgressToken string(std::string text) { return ProgressToken(detail::TextOrInteger(std::move(text))); }
    static ProgressToken integer(std::int64_t number) { return ProgressToken(detail::TextOrInteger(number)); }

    Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
    const std::string* stringValue() const noexcept { return std::get_if<std::string>(&value_); }
    std::optional<std::int64_t> integerValue() const noexcept;

    /// A JSON string or integer.
    boost::json::value toJSON() const;

    /// Reads a string or an integral number within the signed 64-bit range. Throws DecodingError
    /// (dataCorrupted, "Progress token must be a string or integer") for anything else, null included.
    static ProgressToken fromJSON(const boost::json::value& json);

    bool operator==(const ProgressToken&) const = default;

    std::size_t hash() const noexcept;

private:
    explicit ProgressToken(detail::TextOrInteger value) noexcept : value_(std::move(value)) {}

    detail::TextOrInteger value_;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ProgressToken> {
    std::size_t operator()(const mcp::ProgressToken& token) const noexcept { return token.hash(); }
};
