#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

namespace mcp {

/// One icon listed by an implementation record, a prompt, a resource or a resource template.
/// Built as `Icon{src, mimeType, sizes, theme}`.
struct Icon {
    enum class Theme { light, dark };

    /// The theme whose text is exactly `text` ("light" or "dark"), or nothing.
    static std::optional<Theme> themeFromRawValue(std::string_view text) noexcept;

    std::string src;
    std::optional<std::string> mimeType{};
    std::optional<std::vector<std::string>> sizes{};
    std::optional<Theme> theme{};

    /// "src", then "mimeType", "sizes" and "theme", each only when present.
    boost::json::value toJSON() const;
    /// Requires "src"; the other members may be absent or null. Throws DecodingError, also for a
    /// theme other than "light" or "dark".
    static Icon fromJSON(const boost::json::value& json);

    bool operator==(const Icon&) const = default;
};

/// The wire text of `theme`.
std::string_view rawValue(Icon::Theme theme) noexcept;

}  // namespace mcp

template <>
struct std::hash<mcp::Icon> {
    std::size_t operator()(const mcp::Icon& icon) const noexcept;
};
