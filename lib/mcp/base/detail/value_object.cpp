#include "mcp/base/detail/value_object.hpp"

#include "platform/json/codec.hpp"

namespace mcp::detail {

boost::json::object encodeValueObject(const Value::Object& fields) {
    boost::json::object json;
    json.reserve(fields.size());
    for (const auto& [key, value] : fields) json.emplace(key, value.toJSON());
    return json;
}

Value::Object decodeValueObject(const boost::json::value& json) {
    Value::Object fields;
    for (const auto& member : platform::json::asObject(json)) {
        fields.insert_or_assign(std::string(member.key()), Value::fromJSON(member.value()));
    }
    return fields;
}

}  // namespace mcp::detail
