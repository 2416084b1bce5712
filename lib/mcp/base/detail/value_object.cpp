#include "mcp/base/detail/value_object.hpp"

#include "platform/json/codec.hpp"

namespace mcp::detail {

Value::Object decodeValueObject(const boost::json::value& json) {
    Value::Object fields;
    for (const auto& member : platform::json::asObject(json)) {
        fields.insert_or_assign(std::string(member.key()), Value::fromJSON(member.value()));
    }
    return fields;
}

}  // namespace mcp::detail
