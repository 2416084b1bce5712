#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include <boost/json/value.hpp>

namespace mcp::detail {

/// The payload of the protocol's small text-or-integer values (request ids, progress tokens).
using TextOrInteger = std::variant<std::string, std::int64_t>;

/// A JSON string or integer.
boost::json::value encodeTextOrInteger(const TextOrInteger& value);

/// A JSON string, or a number readable as a signed 64-bit integer; nothing for any other JSON.
std::optional<TextOrInteger> decodeTextOrInteger(const boost::json::value& json);

/// The case number (0 for the text, 1 for the integer), then the text or the integer.
std::size_t hashTextOrInteger(const TextOrInteger& value) noexcept;

}  // namespace mcp::detail
