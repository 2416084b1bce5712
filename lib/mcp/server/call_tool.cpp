#include "mcp/server/call_tool.hpp"

#include <cmath>

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value CallTool::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    if (meta) json.emplace("_meta", meta->toJSON());
    json.emplace("name", name);
    if (arguments) json.emplace("arguments", platform::json::encode(*arguments));
    return json;
}

CallTool::Parameters CallTool::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto meta = platform::json::optional<Metadata>(object, "_meta");
    auto name = platform::json::required<std::string>(object, "name");
    auto arguments = platform::json::optional<std::map<std::string, Value>>(object, "arguments");
    return Parameters(std::move(name), std::move(arguments), std::move(meta));
}

namespace {

/// True when writing `value` as JSON and reading it back gives it unchanged: no whole double
/// (it would read as an integer), no data and no text that could read as data.
bool readsBackUnchanged(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::double_: {
        auto number = *value.doubleValue();
        return !(std::trunc(number) == number && std::fabs(number) <= 9.3e18);
    }
    case Value::Kind::string: return !value.stringValue()->starts_with("data:");
    case Value::Kind::data: return false;
    case Value::Kind::array:
        for (const auto& element : value.arrayValue().value_or(std::span<const Value>())) {
            if (!readsBackUnchanged(element)) return false;
        }
        return true;
    case Value::Kind::object:
        for (const auto& [key, member] : *value.objectValue()) {
            if (!readsBackUnchanged(member)) return false;
        }
        return true;
    default: return true;
    }
}

const Value* member(const Value::Object& object, std::string_view key) {
    auto found = object.find(key);
    return found == object.end() || found->second.isNull() ? nullptr : &found->second;
}

}  // namespace

CallTool::Parameters CallTool::Parameters::fromValue(const Value& value) {
    // The shapes read here are exactly those the JSON reading accepts; anything else takes that
    // road, for its errors and its outcome.
    const auto* object = value.objectValue();
    const auto* name = object ? member(*object, "name") : nullptr;
    const auto* arguments = object ? member(*object, "arguments") : nullptr;
    if (!name || !name->stringValue() || (arguments && !arguments->objectValue()) || !readsBackUnchanged(value))
        return fromJSON(value.toJSON());
    std::optional<Metadata> meta;
    if (const auto* metadata = member(*object, "_meta")) meta = Metadata::fromJSON(metadata->toJSON());
    std::optional<std::map<std::string, Value>> shared;
    if (arguments) shared.emplace(arguments->objectValue()->begin(), arguments->objectValue()->end());
    return Parameters(std::string(*name->stringValue()), std::move(shared), std::move(meta));
}

boost::json::value CallTool::Result::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    json.emplace("content", platform::json::encode(content));
    if (structuredContent) json.emplace("structuredContent", structuredContent->toJSON());
    if (isError) json.emplace("isError", *isError);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

CallTool::Result CallTool::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto content = platform::json::required<std::vector<Tool::Content>>(object, "content");
    auto structured = platform::json::optional<boost::json::value>(object, "structuredContent");
    auto isError = platform::json::optional<bool>(object, "isError");
    auto meta = platform::json::optional<Metadata>(object, "_meta");
    return Result(std::move(content), structured ? std::optional<Value>(Value::fromJSON(*structured)) : std::nullopt,
                  isError, std::move(meta));
}

CallTool::Result CallTool::Result::fromValue(const Value& value) {
    // Only a content list of plain texts and an optional flag are read here; every other shape
    // takes the JSON road, for its errors and its outcome.
    const auto* object = value.objectValue();
    std::optional<std::span<const Value>> blocks;
    std::optional<bool> isError;
    bool plain = object != nullptr;
    for (auto member = plain ? object->begin() : Value::Object::const_iterator(); plain && member != object->end();
         ++member) {
        if (member->first == "content" && (blocks = member->second.arrayValue())) continue;
        if (member->first == "isError" && (isError = member->second.boolValue())) continue;
        plain = false;
    }
    std::vector<Tool::Content> content;
    if (plain && blocks) {
        content.reserve(blocks->size());
        for (const auto& block : *blocks) {
            const auto* members = block.objectValue();
            if (!members || members->size() != 2) break;
            auto type = members->begin()->second.stringValue();
            auto text = std::next(members->begin())->second.stringValue();
            if (members->begin()->first != "text" || std::next(members->begin())->first != "type" || !type ||
                *type != "text" || !text || text->starts_with("data:")) {
                break;
            }
            content.push_back(Tool::Content::text(std::string(*text)));
        }
    }
    if (!plain || !blocks || content.size() != blocks->size()) return fromJSON(value.toJSON());
    return Result(std::move(content), std::nullopt, isError);
}

}  // namespace mcp

std::size_t std::hash<mcp::CallTool::Parameters>::operator()(const mcp::CallTool::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.meta, parameters.name, parameters.arguments);
}

std::size_t std::hash<mcp::CallTool::Result>::operator()(const mcp::CallTool::Result& result) const noexcept {
    return mcp::hashValues(result.content, result.structuredContent, result.isError, result.meta);
}
