#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace mcp::detail {

/// The length of the Unicode white space or line break (UTF-8) that starts at `text[at]`, or 0.
std::size_t whitespaceLengthAt(std::string_view text, std::size_t at);

/// True when `text` holds a white-space character anywhere.
bool containsWhitespace(std::string_view text);

/// `text` without white space and line breaks at either end.
std::string_view trimWhitespace(std::string_view text);

/// The non-empty pieces of `text` between white space.
std::vector<std::string_view> splitOnWhitespace(std::string_view text);

}  // namespace mcp::detail
