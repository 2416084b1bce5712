#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace inkwarden {

/// `text` (UTF-8) without white space and line breaks (Unicode White_Space) at either end.
std::string trimWhitespaceAndNewlines(std::string_view text);

/// The number of user-perceived characters (extended grapheme clusters) of UTF-8 `text`; a
/// letter with a combining accent, an emoji sequence and CR LF each count once.
std::size_t graphemeCount(std::string_view text);

/// The first `count` user-perceived characters of UTF-8 `text`.
std::string graphemePrefix(std::string_view text, std::size_t count);

}  // namespace inkwarden
