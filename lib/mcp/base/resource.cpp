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

}  // namespace mcp

std::size_t std::hash<mcp::Resource::Content>::operator()(const mcp::Resource::Content& content) const noexcept {
    return mcp::hashValues(content.uri, content.mimeType, content.text, content.blob, content.meta);
}

std::size_t std::hash<mcp::Resource::Annotations>::operator()(
    const mcp::Resource::Annotations& annotations) const noexcept {
    return mcp::hashValues(annotations.audience, annotations.priority, annotations.lastModified);
}
