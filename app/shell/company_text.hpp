#pragma once

#include <string_view>
#include <vector>

namespace inkwarden {

/// The lines of a company text: the pieces between line feeds, empty ones included. A CR LF pair
/// is one character and no line feed, so it never ends a line. Views into `text`.
std::vector<std::string_view> companyTextLines(std::string_view text);

}  // namespace inkwarden
