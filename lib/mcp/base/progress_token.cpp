#include "mcp/base/progress_token.hpp"

#include "platform/json/decoding_error.hpp"

namespace mcp {

std::optional<std::int64_t> ProgressToken::integerValue() const noexcept {
    if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number;
    return std::nullopt;
}

boost::json::value ProgressToken::toJSON() const {
    return detail::encodeTextOrInteger(value_);
}

ProgressToken ProgressToken::fromJSON(const boost::json::value& json) {
    if (auto payload = detail::decodeTextOrInteger(json)) return ProgressToken(std::move(*payload));
    throw platform::json::DecodingError::dataCorrupted("Progress token must be a string or integer");
}

std::size_t ProgressToken::hash() const noexcept {
    return detail::hashTextOrInteger(value_);
}

}  // namespace mcp
