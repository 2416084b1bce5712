#include "mcp/base/icon.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

std::optional<Icon::Theme> Icon::themeFromRawValue(std::string_view text) noexcept {
    if (text == "light") return Theme::light;
    if (text == "dark") return Theme::dark;
    return std::nullopt;
}

std::string_view rawValue(Icon::Theme theme) noexcept {
    return theme == Icon::Theme::light ? "light" : "dark";
}

boost::json::value Icon::toJSON() const {
    boost::json::object json;
    json.emplace("src", src);
    if (mimeType) json.emplace("mimeType", *mimeType);
    if (sizes) json.emplace("sizes", platform::json::encode(*sizes));
    if (theme) json.emplace("theme", rawValue(*theme));
    return json;
}

Icon Icon::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Icon icon;
    icon.src = platform::json::required<std::string>(object, "src");
    icon.mimeType = platform::json::optional<std::string>(object, "mimeType");
    icon.sizes = platform::json::optional<std::vector<std::string>>(object, "sizes");
    if (auto text = platform::json::optional<std::string>(object, "theme")) {
        icon.theme = themeFromRawValue(*text);
        if (!icon.theme) throw platform::json::DecodingError::invalidEnumText("Theme", *text, {"theme"});
    }
    return icon;
}

}  // namespace mcp

std::size_t std::hash<mcp::Icon>::operator()(const mcp::Icon& icon) const noexcept {
    return mcp::hashValues(icon.src, icon.mimeType, icon.sizes, icon.theme);
}
