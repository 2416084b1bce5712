#pragma once

#include <string>
#include <string_view>

namespace platform {

/// True when `text` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no
/// surrogates, nothing above U+10FFFF, no sequence cut short.
bool isValidUTF8(std::string_view text) noexcept;

/// `text` with each ill-formed part (a maximal subpart, as Unicode counts them) replaced by U+FFFD,
/// the way the platform turns arbitrary bytes into text.
std::string repairUTF8(std::string_view text);

}  // namespace platform
