#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks). Bytes travel in std::string.
std::string base64Encode(std::string_view bytes);

/// Strict reading of standard base64: the length a multiple of 4, at most two "=" and only at the
/// end; any other character (whitespace, "-", "_" included) refuses the whole text.
std::optional<std::string> base64Decode(std::string_view text);

/// URL-safe base64 ("-" and "_"), without padding.
std::string base64UrlEncode(std::string_view bytes);

/// Reads URL-safe base64 with or without its padding; any character outside that alphabet, padding
/// in the middle or a length no encoder makes refuses the whole text.
std::optional<std::string> base64UrlDecode(std::string_view text);

}  // namespace platform
