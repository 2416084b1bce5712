#include "mcp/base/detail/text_or_integer.hpp"

#include <boost/json/string.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/integer.hpp"

namespace mcp::detail {

boost::json::value encodeTextOrInteger(const TextOrInteger& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return boost::json::string_view(*text);
    return std::get<std::int64_t>(value);
}

std::optional<TextOrInteger> decodeTextOrInteger(const boost::json::value& json) {
    if (const auto* text = json.if_string()) return TextOrInteger(std::string(text->data(), text->size()));
    if (auto number = platform::json::asInteger(json)) return TextOrInteger(*number);
    return std::nullopt;
}

std::size_t hashTextOrInteger(const TextOrInteger& value) noexcept {
    Hasher hasher;
    hasher.combine(value.index());
    if (const auto* text = std::get_if<std::string>(&value)) {
        hasher.add(*text);
    } else {
        hasher.add(std::get<std::int64_t>(value));
    }
    return hasher.finish();
}

}  // namespace mcp::detail
