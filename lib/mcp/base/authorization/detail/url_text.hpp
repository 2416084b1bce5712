#pragma once

#include <optional>
#include <string_view>

#include <boost/url/url.hpp>

namespace mcp::detail {

/// The URL `text` spells: any URI reference, relative ones included, but not the empty text.
/// Nothing when it is no URL.
std::optional<boost::urls::url> urlFromText(std::string_view text);

}  // namespace mcp::detail
