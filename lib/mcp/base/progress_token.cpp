#include "mcp/base/progress_token.hpp"

#include <boost/json/string.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/integer.hpp"

namespace mcp {

std::optional<std::int64_t> ProgressToken::integerValue() const noexcept {
    if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number;
    return std::nullopt;
}

boost::json::value ProgressToken::toJSON() const {
    if (const auto* text = stringValue()) return boost::json::string_view(*text);
    return std::get<std::int64_t>(value_);
}

ProgressToken ProgressToken::fromJSON(const boost::json::value& json) {
    if (const auto* text = json.if_string()) return string(std::string(text->data(), text->size()));
    if (auto number = platform::json::asInteger(json)) return integer(*number);
    throw platform::json::DecodingError::dataCorrupted("Progress token must be a string or integer");
}

std::size_t ProgressToken::hash() const noexcept {
    Hasher hasher;
    hasher.combine(value_.index());
    if (const auto* text = stringValue()) {
        hasher.add(*text);
    } else {
        hasher.add(std::get<std::int64_t>(value_));
    }
    return hasher.finish();
}

}  // namespace mcp
