#include "mcp/base/detail/plain_envelope.hpp"

#include <string_view>

namespace mcp::detail {

namespace {

const Value* member(const Value::Object& object, std::string_view key) {
    auto found = object.find(key);
    return found == object.end() ? nullptr : &found->second;
}

/// The object of a message whose "jsonrpc" is the text "2.0".
const Value::Object* envelope(const Value& message) {
    const auto* object = message.objectValue();
    if (!object) return nullptr;
    const auto* version = member(*object, "jsonrpc");
    auto text = version ? version->stringValue() : std::nullopt;
    return text && *text == "2.0" ? object : nullptr;
}

/// A text or integer id; a null id (read as "") and a text that reads as data take the long road.
std::optional<ID> plainID(const Value::Object& object) {
    const auto* id = member(object, "id");
    if (!id) return std::nullopt;
    if (auto text = id->stringValue()) return ID(std::string(*text));
    if (auto number = id->intValue()) return ID(*number);
    return std::nullopt;
}

}  // namespace

std::optional<Request<AnyMethod>> plainRequest(const Value& message) {
    const auto* object = envelope(message);
    if (!object || object->contains("result") || object->contains("error")) return std::nullopt;
    auto id = plainID(*object);
    const auto* method = member(*object, "method");
    auto name = method ? method->stringValue() : std::nullopt;
    if (!id || !name) return std::nullopt;
    const auto* params = member(*object, "params");
    return Request<AnyMethod>(std::move(*id), std::string(*name), params ? *params : Value());
}

std::optional<Response<AnyMethod>> plainSuccess(const Value& message) {
    const auto* object = envelope(message);
    const auto* result = object ? member(*object, "result") : nullptr;
    if (!result) return std::nullopt;
    auto id = plainID(*object);
    if (!id) return std::nullopt;
    return Response<AnyMethod>(std::move(*id), *result);
}

}  // namespace mcp::detail
