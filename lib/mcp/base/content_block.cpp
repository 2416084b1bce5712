#include "mcp/base/content_block.hpp"

#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp::detail {

namespace {

using platform::json::optional;
using platform::json::required;

void putOptional(boost::json::object& json, std::string_view key, const std::optional<std::string>& text) {
    if (text) json.emplace(key, *text);
}

template <class T>
void putOptionalCodable(boost::json::object& json, std::string_view key, const std::optional<T>& value) {
    if (value) json.emplace(key, value->toJSON());
}

}  // namespace

void writeContent(boost::json::object& json, const content::Text& block) {
    json.emplace("text", block.text);
}

void writeContent(boost::json::object& json, const content::Image& block) {
    json.emplace("data", block.data);
    json.emplace("mimeType", block.mimeType);
}

void writeContent(boost::json::object& json, const content::Audio& block) {
    json.emplace("data", block.data);
    json.emplace("mimeType", block.mimeType);
}

void writeContent(boost::json::object& json, const content::EmbeddedResource& block) {
    json.emplace("resource", block.resource.toJSON());
    putOptionalCodable(json, "annotations", block.annotations);
    putOptionalCodable(json, "_meta", block.meta);
}

void writeContent(boost::json::object& json, const content::ResourceLink& block) {
    json.emplace("uri", block.uri);
    json.emplace("name", block.name);
    putOptional(json, "title", block.title);
    putOptional(json, "description", block.description);
    putOptional(json, "mimeType", block.mimeType);
    putOptionalCodable(json, "annotations", block.annotations);
}

content::Text readText(const boost::json::object& object) {
    return {required<std::string>(object, "text")};
}

content::Image readImage(const boost::json::object& object) {
    auto data = required<std::string>(object, "data");
    return {std::move(data), required<std::string>(object, "mimeType")};
}

content::Audio readAudio(const boost::json::object& object) {
    auto data = required<std::string>(object, "data");
    return {std::move(data), required<std::string>(object, "mimeType")};
}

content::EmbeddedResource readEmbeddedResource(const boost::json::object& object) {
    auto resource = required<Resource::Content>(object, "resource");
    auto annotations = optional<Resource::Annotations>(object, "annotations");
    return {std::move(resource), std::move(annotations), optional<Metadata>(object, "_meta")};
}

content::ResourceLink readResourceLink(const boost::json::object& object) {
    content::ResourceLink link{required<std::string>(object, "uri"), ""};
    link.name = required<std::string>(object, "name");
    link.title = optional<std::string>(object, "title");
    link.description = optional<std::string>(object, "description");
    link.mimeType = optional<std::string>(object, "mimeType");
    link.annotations = optional<Resource::Annotations>(object, "annotations");
    return link;
}

boost::json::value encodeContent(const ContentCase& block) {
    static constexpr std::string_view tags[] = {"text", "image", "audio", "resource", "resource_link"};
    boost::json::object json;
    json.reserve(7);
    json.emplace("type", tags[block.index()]);
    std::visit([&json](const auto& payload) { writeContent(json, payload); }, block);
    return json;
}

ContentCase decodeContent(const boost::json::value& json, std::string_view unknownTypeText) {
    const auto& object = platform::json::asObject(json);
    auto type = required<std::string>(object, "type");
    if (type == "text") return readText(object);
    if (type == "image") return readImage(object);
    if (type == "audio") return readAudio(object);
    if (type == "resource") return readEmbeddedResource(object);
    if (type == "resource_link") return readResourceLink(object);
    throw platform::json::DecodingError(platform::json::DecodingError::Kind::dataCorrupted,
                                        std::string(unknownTypeText), {"type"});
}

std::size_t hashContent(const ContentCase& block) noexcept {
    Hasher hasher;
    hasher.combine(block.index());
    std::visit(
        [&hasher](const auto& payload) {
            using Block = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Block, content::Text>) {
                hasher.add(payload.text);
            } else if constexpr (std::is_same_v<Block, content::Image> || std::is_same_v<Block, content::Audio>) {
                hasher.addAll(payload.data, payload.mimeType);
            } else if constexpr (std::is_same_v<Block, content::EmbeddedResource>) {
                hasher.addAll(payload.resource, payload.annotations, payload.meta);
            } else {
                hasher.addAll(payload.uri, payload.name, payload.title, payload.description, payload.mimeType,
                              payload.annotations);
            }
        },
        block);
    return hasher.finish();
}

}  // namespace mcp::detail
