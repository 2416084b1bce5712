#include "mcp/base/metadata.hpp"

#include "mcp/base/detail/value_object.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {
constexpr std::string_view kProgressToken = "progressToken";
}

Metadata::Metadata(std::optional<ProgressToken> progressToken, Value::Object additionalFields)
    : fields(std::move(additionalFields)) {
    setProgressToken(progressToken);
}

const Value* Metadata::operator[](std::string_view key) const {
    auto found = fields.find(key);
    return found == fields.end() ? nullptr : &found->second;
}

std::optional<ProgressToken> Metadata::progressToken() const {
    const auto* entry = (*this)[kProgressToken];
    if (!entry) return std::nullopt;
    if (auto text = entry->stringValue()) return ProgressToken::string(std::string(*text));
    if (auto number = entry->intValue()) return ProgressToken::integer(*number);
    return std::nullopt;
}

void Metadata::setProgressToken(const std::optional<ProgressToken>& token) {
    if (!token) {
        if (auto found = fields.find(kProgressToken); found != fields.end()) fields.erase(found);
        return;
    }
    Value entry = token->stringValue() ? Value(*token->stringValue()) : Value(*token->integerValue());
    fields.insert_or_assign(std::string(kProgressToken), std::move(entry));
}

boost::json::value Metadata::toJSON() const {
    return detail::encodeValueObject(fields);
}

Metadata Metadata::fromJSON(const boost::json::value& json) {
    return Metadata(detail::decodeValueObject(json));
}

}  // namespace mcp

std::size_t std::hash<mcp::Metadata>::operator()(const mcp::Metadata& metadata) const noexcept {
    return mcp::hashValues(metadata.fields);
}
