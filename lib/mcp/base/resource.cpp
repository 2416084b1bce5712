#include "mcp/base/resource.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/base64.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

Resource::Content Resource::Content::text_(std::string text, std::string uri, std::optional<std::string> mimeType,
                                           std::optional<Metadata> meta) {
    Content content;
    content.uri = std::move(uri);
    content.mimeType = std::move(mimeType);
    content.text = std::move(text);
    content.meta = std::move(meta);
    return content;
}

Resource::Content Resource::Content::binary(std::string_view bytes, std::string uri,
                                            std::optional<std::string> mimeType, std::optional<Metadata> meta) {
    Content content;
    content.uri = std::move(uri);
    content.mimeType = std::move(mimeType);
    content.blob = platform::base64Encode(bytes);
    content.meta = std::move(meta);
    return content;
}

boost::json::value Resource::Content::toJSON() const {
    boost::json::object json;
    json.emplace("uri", uri);
    if (mimeType) json.emplace("mimeType", *mimeType);
    if (text) json.emplace("text", *text);
    if (blob) json.emplace("blob", *blob);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

Resource::Content Resource::Content::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Content content;
    content.uri = platform::json::required<std::string>(object, "uri");
    content.mimeType = platform::json::optional<std::string>(object, "mimeType");
    content.text = platform::json::optional<std::string>(object, "text");
    content.blob = platform::json::optional<std::string>(object, "blob");
    content.meta = platform::json::optional<Metadata>(object, "_meta");
    return content;
}

std::optional<Resource::Annotations::Audience> Resource::Annotations::audienceFromRawValue(
    std::string_view text) noexcept {
    if (text == "user") return Audience::user;
    if (text == "assistant") return Audience::assistant;
    return std::nullopt;
}

std::string_view rawValue(Resource::Annotations::Audience audience) noexcept {
    return audience == Resource::Annotations::Audience::user ? "user" : "assistant";
}

boost::json::value Resource::Annotations::toJSON() const {
    boost::json::object json;
    if (audience) {
        boost::json::array entries;
        for (auto entry : *audience) entries.emplace_back(rawValue(entry));
        json.emplace("audience", std::move(entries));
    }
    if (priority) json.emplace("priority", *priority);
    if (lastModified) json.emplace("lastModified", *lastModified);
    return json;
}

Resource::Annotations Resource::Annotations::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Annotations annotations;
    if (auto texts = platform::json::optional<std::vector<std::string>>(object, "audience")) {
        annotations.audience.emplace();
        for (std::size_t i = 0; i < texts->size(); ++i) {
            auto entry = audienceFromRawValue((*texts)[i]);
            if (!entry) {
                throw platform::json::DecodingError::invalidEnumText("Audience", (*texts)[i],
                                                                     {"audience", std::to_string(i)});
            }
            annotations.audience->push_back(*entry);
        }
    }
    annotations.priority = platform::json::optional<double>(object, "priority");
    annotations.lastModified = platform::json::optional<std::string>(object, "lastModified");
    return annotations;
}

Resource::Resource(std::string name, std::string uri, std::optional<std::string> title,
                   std::optional<std::string> description, std::optional<std::string> mimeType,
                   std::optional<std::int64_t> size, std::optional<Annotations> annotations,
                   std::optional<std::vector<Icon>> icons, std::optional<Metadata> meta)
    : name(std::move(name)),
      title(std::move(title)),
      uri(std::move(uri)),
      description(std::move(description)),
      mimeType(std::move(mimeType)),
      size(size),
      annotations(std::move(annotations)),
      icons(std::move(icons)),
      meta(std::move(meta)) {}

namespace {

using platform::json::optional;
using platform::json::required;

void putOptional(boost::json::object& json, std::string_view key, const std::optional<std::string>& text) {
    if (text) json.emplace(key, *text);
}

/// The members that resources and templates share, after their leading ones.
void putDescription(boost::json::object& json, const std::optional<std::string>& title,
                    const std::optional<std::string>& description, const std::optional<std::string>& mimeType) {
    putOptional(json, "title", title);
    putOptional(json, "description", description);
    putOptional(json, "mimeType", mimeType);
}

void putDecorations(boost::json::object& json, const std::optional<Resource::Annotations>& annotations,
                    const std::optional<std::vector<Icon>>& icons, const std::optional<Metadata>& meta) {
    if (annotations) json.emplace("annotations", annotations->toJSON());
    if (icons) json.emplace("icons", platform::json::encode(*icons));
    if (meta) json.emplace("_meta", meta->toJSON());
}

}  // namespace

boost::json::value Resource::toJSON() const {
    boost::json::object json;
    json.reserve(9);
    json.emplace("name", name);
    json.emplace("uri", uri);
    putDescription(json, title, description, mimeType);
    if (size) json.emplace("size", *size);
    putDecorations(json, annotations, icons, meta);
    return json;
}

Resource Resource::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Resource resource(required<std::string>(object, "name"), "");
    resource.uri = required<std::string>(object, "uri");
    resource.title = optional<std::string>(object, "title");
    resource.description = optional<std::string>(object, "description");
    resource.mimeType = optional<std::string>(object, "mimeType");
    resource.size = optional<std::int64_t>(object, "size");
    resource.annotations = optional<Annotations>(object, "annotations");
    resource.icons = optional<std::vector<Icon>>(object, "icons");
    resource.meta = optional<Metadata>(object, "_meta");
    return resource;
}

boost::json::value Resource::Template::toJSON() const {
    boost::json::object json;
    json.reserve(8);
    json.emplace("uriTemplate", uriTemplate);
    json.emplace("name", name);
    putDescription(json, title, description, mimeType);
    putDecorations(json, annotations, icons, meta);
    return json;
}

Resource::Template Resource::Template::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Template resourceTemplate{required<std::string>(object, "uriTemplate"), ""};
    resourceTemplate.name = required<std::string>(object, "name");
    resourceTemplate.title = optional<std::string>(object, "title");
    resourceTemplate.description = optional<std::string>(object, "description");
    resourceTemplate.mimeType = optional<std::string>(object, "mimeType");
    resourceTemplate.annotations = optional<Annotations>(object, "annotations");
    resourceTemplate.icons = optional<std::vector<Icon>>(object, "icons");
    resourceTemplate.meta = optional<Metadata>(object, "_meta");
    return resourceTemplate;
}

}  // namespace mcp

std::size_t std::hash<mcp::Resource::Content>::operator()(const mcp::Resource::Content& content) const noexcept {
    return mcp::hashValues(content.uri, content.mimeType, content.text, content.blob, content.meta);
}

std::size_t std::hash<mcp::Resource::Annotations>::operator()(
    const mcp::Resource::Annotations& annotations) const noexcept {
    return mcp::hashValues(annotations.audience, annotations.priority, annotations.lastModified);
}

std::size_t std::hash<mcp::Resource::Template>::operator()(
    const mcp::Resource::Template& resourceTemplate) const noexcept {
    return mcp::hashValues(resourceTemplate.uriTemplate, resourceTemplate.name, resourceTemplate.title,
                           resourceTemplate.description, resourceTemplate.mimeType, resourceTemplate.annotations,
                           resourceTemplate.icons, resourceTemplate.meta);
}

std::size_t std::hash<mcp::Resource>::operator()(const mcp::Resource& resource) const noexcept {
    return mcp::hashValues(resource.name, resource.title, resource.uri, resource.description, resource.mimeType,
                           resource.size, resource.annotations, resource.icons, resource.meta);
}
