#include "mcp/client/sampling.hpp"

#include <boost/json/array.hpp>

#include "mcp/base/detail/raw_values.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

namespace {

using platform::json::DecodingError;
using platform::json::optional;
using platform::json::required;
using ContentBlock = Sampling::Message::Content::ContentBlock;

constexpr detail::RawValues<Sampling::ContextInclusion, 3> contextInclusions{
    "ContextInclusion",
    {{{Sampling::ContextInclusion::none, "none"},
      {Sampling::ContextInclusion::thisServer, "thisServer"},
      {Sampling::ContextInclusion::allServers, "allServers"}}}};

constexpr detail::RawValues<Sampling::Message::Role, 2> roles{
    "Role", {{{Sampling::Message::Role::user, "user"}, {Sampling::Message::Role::assistant, "assistant"}}}};

void writeFields(boost::json::object& json, const Sampling::ToolUseContent& content) {
    json.emplace("id", content.id);
    json.emplace("name", content.name);
    json.emplace("input", platform::json::encode(content.input));
    if (content.meta) json.emplace("_meta", content.meta->toJSON());
}

void writeFields(boost::json::object& json, const Sampling::ToolResultContent& content) {
    json.emplace("toolUseId", content.toolUseId);
    json.emplace("content", platform::json::encode(content.content));
    if (content.structuredContent) json.emplace("structuredContent", platform::json::encode(*content.structuredContent));
    if (content.isError) json.emplace("isError", *content.isError);
    if (content.meta) json.emplace("_meta", content.meta->toJSON());
}

template <class T>
void writeFields(boost::json::object& json, const T& block) {
    detail::writeContent(json, block);
}

Sampling::ToolUseContent readToolUse(const boost::json::object& object) {
    Sampling::ToolUseContent content;
    content.id = required<std::string>(object, "id");
    content.name = required<std::string>(object, "name");
    content.input = required<Value::Object>(object, "input");
    content.meta = optional<Metadata>(object, "_meta");
    return content;
}

Sampling::ToolResultContent readToolResult(const boost::json::object& object) {
    Sampling::ToolResultContent content;
    content.toolUseId = required<std::string>(object, "toolUseId");
    content.content = required<std::vector<Sampling::ToolResultContent::ContentBlock>>(object, "content");
    content.structuredContent = optional<Value::Object>(object, "structuredContent");
    content.isError = optional<bool>(object, "isError");
    content.meta = optional<Metadata>(object, "_meta");
    return content;
}

}  // namespace

std::string_view rawValue(Sampling::ContextInclusion inclusion) noexcept {
    return contextInclusions.text(inclusion);
}

std::string_view rawValue(Sampling::Message::Role role) noexcept {
    return roles.text(role);
}

namespace detail {

std::optional<Sampling::ContextInclusion> readContextInclusion(const boost::json::object& object,
                                                               std::string_view key) {
    return contextInclusions.optional(object, key);
}

Sampling::Message::Role readSamplingRole(const boost::json::object& object, std::string_view key) {
    return roles.required(object, key);
}

}  // namespace detail

boost::json::value Sampling::ModelPreferences::Hint::toJSON() const {
    boost::json::object json;
    if (name) json.emplace("name", *name);
    return json;
}

Sampling::ModelPreferences::Hint Sampling::ModelPreferences::Hint::fromJSON(const boost::json::value& json) {
    return {optional<std::string>(platform::json::asObject(json), "name")};
}

boost::json::value Sampling::ModelPreferences::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    if (hints) json.emplace("hints", platform::json::encode(*hints));
    if (costPriority) json.emplace("costPriority", costPriority->toJSON());
    if (speedPriority) json.emplace("speedPriority", speedPriority->toJSON());
    if (intelligencePriority) json.emplace("intelligencePriority", intelligencePriority->toJSON());
    return json;
}

Sampling::ModelPreferences Sampling::ModelPreferences::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    ModelPreferences preferences;
    preferences.hints = optional<std::vector<Hint>>(object, "hints");
    preferences.costPriority = optional<UnitInterval>(object, "costPriority");
    preferences.speedPriority = optional<UnitInterval>(object, "speedPriority");
    preferences.intelligencePriority = optional<UnitInterval>(object, "intelligencePriority");
    return preferences;
}

boost::json::value Sampling::ToolUseContent::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    writeFields(json, *this);
    return json;
}

Sampling::ToolUseContent Sampling::ToolUseContent::fromJSON(const boost::json::value& json) {
    return readToolUse(platform::json::asObject(json));
}

boost::json::value Sampling::ToolResultContent::toJSON() const {
    boost::json::object json;
    json.reserve(5);
    writeFields(json, *this);
    return json;
}

Sampling::ToolResultContent Sampling::ToolResultContent::fromJSON(const boost::json::value& json) {
    return readToolResult(platform::json::asObject(json));
}

boost::json::value ContentBlock::toJSON() const {
    static constexpr std::string_view tags[] = {"text", "image", "audio", "tool_use", "tool_result"};
    boost::json::object json;
    json.reserve(6);
    json.emplace("type", tags[value.index()]);
    std::visit([&json](const auto& payload) { writeFields(json, payload); }, value);
    return json;
}

ContentBlock ContentBlock::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto type = required<std::string>(object, "type");
    if (type == "text") return detail::readText(object);
    if (type == "image") return detail::readImage(object);
    if (type == "audio") return detail::readAudio(object);
    if (type == "tool_use") return readToolUse(object);
    if (type == "tool_result") return readToolResult(object);
    throw DecodingError(DecodingError::Kind::dataCorrupted, "Unknown sampling message content block type", {"type"});
}

std::vector<ContentBlock> Sampling::Message::Content::asArray() const {
    if (const auto* single = std::get_if<ContentBlock>(&value)) return {*single};
    return std::get<std::vector<ContentBlock>>(value);
}

boost::json::value Sampling::Message::Content::toJSON() const {
    if (const auto* single = std::get_if<ContentBlock>(&value)) return single->toJSON();
    return platform::json::encode(std::get<std::vector<ContentBlock>>(value));
}

Sampling::Message::Content Sampling::Message::Content::fromJSON(const boost::json::value& json) {
    try {
        auto blocks = platform::json::decode<std::vector<ContentBlock>>(json);
        if (blocks.size() == 1) return Content(std::move(blocks.front()));
        return Content(std::move(blocks));
    } catch (const DecodingError&) {
        // Dropped: what is reported is the failure to read the value as one block.
    }
    return Content(ContentBlock::fromJSON(json));
}

boost::json::value Sampling::Message::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("role", rawValue(role));
    json.emplace("content", content.toJSON());
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

Sampling::Message Sampling::Message::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto role = roles.required(object, "role");
    auto content = required<Content>(object, "content");
    return {role, std::move(content), optional<Metadata>(object, "_meta")};
}

}  // namespace mcp

using mcp::Sampling;

std::size_t std::hash<Sampling::ModelPreferences::Hint>::operator()(
    const Sampling::ModelPreferences::Hint& hint) const noexcept {
    return mcp::hashValues(hint.name);
}

std::size_t std::hash<Sampling::ModelPreferences>::operator()(
    const Sampling::ModelPreferences& preferences) const noexcept {
    return mcp::hashValues(preferences.hints, preferences.costPriority, preferences.speedPriority,
                           preferences.intelligencePriority);
}

std::size_t std::hash<Sampling::ToolUseContent>::operator()(const Sampling::ToolUseContent& content) const noexcept {
    return mcp::hashValues(content.id, content.name, content.input, content.meta);
}

std::size_t std::hash<Sampling::ToolResultContent>::operator()(
    const Sampling::ToolResultContent& content) const noexcept {
    return mcp::hashValues(content.toolUseId, content.content, content.structuredContent, content.isError,
                           content.meta);
}

std::size_t std::hash<Sampling::Message::Content::ContentBlock>::operator()(
    const Sampling::Message::Content::ContentBlock& block) const noexcept {
    mcp::Hasher hasher;
    hasher.combine(block.value.index());
    std::visit(
        [&hasher](const auto& payload) {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, mcp::content::Text>) {
                hasher.add(payload.text);
            } else if constexpr (std::is_same_v<Payload, mcp::content::Image> ||
                                 std::is_same_v<Payload, mcp::content::Audio>) {
                hasher.addAll(payload.data, payload.mimeType);
            } else {
                hasher.add(payload);
            }
        },
        block.value);
    return hasher.finish();
}

std::size_t std::hash<Sampling::Message::Content>::operator()(const Sampling::Message::Content& content) const noexcept {
    mcp::Hasher hasher;
    hasher.combine(content.value.index());
    std::visit([&hasher](const auto& payload) { hasher.add(payload); }, content.value);
    return hasher.finish();
}

std::size_t std::hash<Sampling::Message>::operator()(const Sampling::Message& message) const noexcept {
    return mcp::hashValues(static_cast<int>(message.role), message.content, message.meta);
}
