#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mcp::detail {

/// One step of UTF-8 decoding: the scalar read, or none for an ill-formed sequence, and how many
/// bytes it took. An ill-formed sequence takes its maximal well-formed prefix, at least one byte,
/// so that each one reads as a single replacement character.
struct UTF8Step {
    char32_t scalar = 0;
    bool valid = false;
    std::size_t length = 1;
};

/// Decodes the sequence that starts at `text[position]`; `position` must be inside `text`.
UTF8Step decodeUTF8(std::string_view text, std::size_t position) noexcept;

/// `text` with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string repairingUTF8(std::string_view text);

/// The Unicode White_Space property (spaces, tabs and line breaks of every script).
bool isUnicodeWhiteSpace(char32_t scalar) noexcept;

/// The Unicode numeric property: any numeric type but none (digits of every script, fractions,
/// Roman numerals, numeric ideographs).
bool isUnicodeNumeric(char32_t scalar) noexcept;

/// `text` without spaces and tabs at either end.
std::string_view trimmingSpacesAndTabs(std::string_view text) noexcept;

/// `text` without Unicode white space (line breaks included) at either end.
std::string_view trimmingWhiteSpace(std::string_view text) noexcept;

/// The offset of the first Unicode white-space character in `text`, or npos.
std::size_t findWhiteSpace(std::string_view text) noexcept;

/// The offset just after the Unicode white space that starts at `position`.
std::size_t skipWhiteSpace(std::string_view text, std::size_t position) noexcept;

/// Whether `text` is not empty and every character in it is numeric; false for ill-formed UTF-8.
bool isAllNumeric(std::string_view text) noexcept;

}  // namespace mcp::detail
