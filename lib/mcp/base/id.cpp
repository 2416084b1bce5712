#include "mcp/base/id.hpp"

#include <boost/json/string.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/integer.hpp"
#include "platform/uuid.hpp"

namespace mcp {

ID ID::random() {
    return ID(platform::makeUUIDString());
}

std::optional<std::int64_t> ID::numberValue() const noexcept {
    if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number;
    return std::nullopt;
}

std::string ID::description() const {
    if (const auto* text = stringValue()) return *text;
    return std::to_string(std::get<std::int64_t>(value_));
}

boost::json::value ID::toJSON() const {
    if (const auto* text = stringValue()) return boost::json::string_view(*text);
    return std::get<std::int64_t>(value_);
}

ID ID::fromJSON(const boost::json::value& json) {
    if (const auto* text = json.if_string()) return ID(std::string(text->data(), text->size()));
    if (auto number = platform::json::asInteger(json)) return ID(*number);
    // A null id (a response to a message that could not be read) reads as the empty string id.
    if (json.is_null()) return ID(std::string());
    throw platform::json::DecodingError::dataCorrupted("ID must be string or number");
}

std::size_t ID::hash() const noexcept {
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
