#include "mcp/base/id.hpp"

#include "platform/json/decoding_error.hpp"
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
    return detail::encodeTextOrInteger(value_);
}

ID ID::fromJSON(const boost::json::value& json) {
    if (auto payload = detail::decodeTextOrInteger(json)) return ID(FromPayload{}, std::move(*payload));
    // A null id (a response to a message that could not be read) reads as the empty string id.
    if (json.is_null()) return ID(std::string());
    throw platform::json::DecodingError::dataCorrupted("ID must be string or number");
}

std::size_t ID::hash() const noexcept {
    return detail::hashTextOrInteger(value_);
}

}  // namespace mcp
