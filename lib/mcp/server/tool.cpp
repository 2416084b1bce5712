#include "mcp/server/tool.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

namespace {

using platform::json::optional;
using platform::json::required;

void putOptional(boost::json::object& json, std::string_view key, const std::optional<std::string>& text) {
    if (text) json.emplace(key, *text);
}

void putOptional(boost::json::object& json, std::string_view key, const std::optional<bool>& flag) {
    if (flag) json.emplace(key, *flag);
}

template <class T>
void putOptionalCodable(boost::json::object& json, std::string_view key, const std::optional<T>& value) {
    if (value) json.emplace(key, value->toJSON());
}

Tool::Content::Text decodeText(const boost::json::object& object) {
    return {required<std::string>(object, "text"), optional<Resource::Annotations>(object, "annotations"),
            optional<Metadata>(object, "_meta")};
}

template <class Block>
Block decodeMedia(const boost::json::object& object) {
    return {required<std::string>(object, "data"), required<std::string>(object, "mimeType"),
            optional<Resource::Annotations>(object, "annotations"), optional<Metadata>(object, "_meta")};
}

Tool::Content::Resource decodeResource(const boost::json::object& object) {
    return {required<Resource::Content>(object, "resource"), optional<Resource::Annotations>(object, "annotations"),
            optional<Metadata>(object, "_meta")};
}

}  // namespace

Tool::Annotations::Annotations(std::optional<std::string> title, std::optional<bool> readOnlyHint,
                               std::optional<bool> destructiveHint, std::optional<bool> idempotentHint,
                               std::optional<bool> openWorldHint)
    : title(std::move(title)),
      destructiveHint(destructiveHint),
      idempotentHint(idempotentHint),
      openWorldHint(openWorldHint),
      readOnlyHint(readOnlyHint) {}

bool Tool::Annotations::isEmpty() const noexcept {
    return !title && !destructiveHint && !idempotentHint && !openWorldHint && !readOnlyHint;
}

boost::json::value Tool::Annotations::toJSON() const {
    boost::json::object json;
    putOptional(json, "title", title);
    putOptional(json, "destructiveHint", destructiveHint);
    putOptional(json, "idempotentHint", idempotentHint);
    putOptional(json, "openWorldHint", openWorldHint);
    putOptional(json, "readOnlyHint", readOnlyHint);
    return json;
}

Tool::Annotations Tool::Annotations::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Annotations annotations;
    annotations.title = optional<std::string>(object, "title");
    annotations.destructiveHint = optional<bool>(object, "destructiveHint");
    annotations.idempotentHint = optional<bool>(object, "idempotentHint");
    annotations.openWorldHint = optional<bool>(object, "openWorldHint");
    annotations.readOnlyHint = optional<bool>(object, "readOnlyHint");
    return annotations;
}

Tool::Content Tool::Content::text(std::string text, std::optional<Metadata> metadata) {
    return Text{std::move(text), std::nullopt, std::move(metadata)};
}

Tool::Content Tool::Content::image(std::string data, std::string mimeType, std::optional<Metadata> metadata) {
    return Image{std::move(data), std::move(mimeType), std::nullopt, std::move(metadata)};
}

Tool::Content Tool::Content::audio(std::string data, std::string mimeType, std::optional<Metadata> metadata) {
    return Audio{std::move(data), std::move(mimeType), std::nullopt, std::move(metadata)};
}

boost::json::value Tool::Content::toJSON() const {
    boost::json::object json;
    json.reserve(7);
    std::visit(
        [&json](const auto& block) {
            using Block = std::decay_t<decltype(block)>;
            if constexpr (std::is_same_v<Block, Text>) {
                json.emplace("type", "text");
                json.emplace("text", block.text);
            } else if constexpr (std::is_same_v<Block, Image> || std::is_same_v<Block, Audio>) {
                json.emplace("type", std::is_same_v<Block, Image> ? "image" : "audio");
                json.emplace("data", block.data);
                json.emplace("mimeType", block.mimeType);
            } else if constexpr (std::is_same_v<Block, Resource>) {
                json.emplace("type", "resource");
                json.emplace("resource", block.resource.toJSON());
            } else {
                json.emplace("type", "resource_link");
                detail::writeContent(json, block);
            }
            if constexpr (!std::is_same_v<Block, ResourceLink>) {
                putOptionalCodable(json, "annotations", block.annotations);
                putOptionalCodable(json, "_meta", block.meta);
            }
        },
        value);
    return json;
}

Tool::Content Tool::Content::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto type = required<std::string>(object, "type");
    if (type == "text") return decodeText(object);
    if (type == "image") return decodeMedia<Image>(object);
    if (type == "audio") return decodeMedia<Audio>(object);
    if (type == "resource") return decodeResource(object);
    if (type == "resource_link") return detail::readResourceLink(object);
    throw platform::json::DecodingError(platform::json::DecodingError::Kind::dataCorrupted,
                                        "Unknown tool content type", {"type"});
}

Tool::Tool(std::string name, std::optional<std::string> title, std::optional<std::string> description,
           Value inputSchema, Annotations annotations, std::optional<Value> outputSchema,
           std::optional<std::vector<Icon>> icons, std::optional<Metadata> meta)
    : name(std::move(name)),
      title(std::move(title)),
      description(std::move(description)),
      inputSchema(std::move(inputSchema)),
      outputSchema(std::move(outputSchema)),
      annotations(std::move(annotations)),
      icons(std::move(icons)),
      meta(std::move(meta)) {}

boost::json::value Tool::toJSON() const {
    boost::json::object json;
    json.reserve(8);
    json.emplace("name", name);
    putOptional(json, "title", title);
    json.emplace("description", description ? boost::json::value(*description) : boost::json::value(nullptr));
    json.emplace("inputSchema", inputSchema.toJSON());
    if (outputSchema) json.emplace("outputSchema", outputSchema->toJSON());
    if (!annotations.isEmpty()) json.emplace("annotations", annotations.toJSON());
    if (icons) json.emplace("icons", platform::json::encode(*icons));
    putOptionalCodable(json, "_meta", meta);
    return json;
}

Tool Tool::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto name = required<std::string>(object, "name");
    auto title = optional<std::string>(object, "title");
    auto description = optional<std::string>(object, "description");
    auto inputSchema = Value::fromJSON(required<boost::json::value>(object, "inputSchema"));
    auto outputSchema = optional<boost::json::value>(object, "outputSchema");
    auto annotations = optional<Annotations>(object, "annotations");
    auto icons = optional<std::vector<Icon>>(object, "icons");
    auto meta = optional<Metadata>(object, "_meta");
    return Tool(std::move(name), std::move(title), std::move(description), std::move(inputSchema),
                annotations ? std::move(*annotations) : Annotations(),
                outputSchema ? std::optional<Value>(Value::fromJSON(*outputSchema)) : std::nullopt, std::move(icons),
                std::move(meta));
}

}  // namespace mcp

std::size_t std::hash<mcp::Tool::Annotations>::operator()(const mcp::Tool::Annotations& annotations) const noexcept {
    return mcp::hashValues(annotations.title, annotations.destructiveHint, annotations.idempotentHint,
                           annotations.openWorldHint, annotations.readOnlyHint);
}

std::size_t std::hash<mcp::Tool::Content>::operator()(const mcp::Tool::Content& content) const noexcept {
    mcp::Hasher hasher;
    hasher.combine(content.value.index());
    std::visit(
        [&hasher](const auto& block) {
            using Block = std::decay_t<decltype(block)>;
            using Content = mcp::Tool::Content;
            if constexpr (std::is_same_v<Block, Content::Text>) {
                hasher.addAll(block.text, block.annotations, block.meta);
            } else if constexpr (std::is_same_v<Block, Content::Image> || std::is_same_v<Block, Content::Audio>) {
                hasher.addAll(block.data, block.mimeType, block.annotations, block.meta);
            } else if constexpr (std::is_same_v<Block, Content::Resource>) {
                hasher.addAll(block.resource, block.annotations, block.meta);
            } else {
                hasher.addAll(block.uri, block.name, block.title, block.description, block.mimeType,
                              block.annotations);
            }
        },
        content.value);
    return hasher.finish();
}

std::size_t std::hash<mcp::Tool>::operator()(const mcp::Tool& tool) const noexcept {
    return mcp::hashValues(tool.name, tool.title, tool.description, tool.inputSchema, tool.outputSchema,
                           tool.annotations, tool.icons, tool.meta);
}
