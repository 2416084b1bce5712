#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/hashing.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/resource.hpp"

namespace mcp {

/// The cases that content blocks are made of. Image and audio data are carried as the text they
/// are (by convention base64), never checked.
namespace content {

struct Text {
    std::string text;
    bool operator==(const Text&) const = default;
};

struct Image {
    std::string data;
    std::string mimeType;
    bool operator==(const Image&) const = default;
};

struct Audio {
    std::string data;
    std::string mimeType;
    bool operator==(const Audio&) const = default;
};

/// The contents of a resource carried inside the block.
struct EmbeddedResource {
    Resource::Content resource;
    std::optional<Resource::Annotations> annotations = std::nullopt;
    std::optional<Metadata> meta = std::nullopt;
    bool operator==(const EmbeddedResource&) const = default;
};

/// A link to a resource; it has no "_meta" (one on the wire is dropped).
struct ResourceLink {
    std::string uri;
    std::string name;
    std::optional<std::string> title = std::nullopt;
    std::optional<std::string> description = std::nullopt;
    std::optional<std::string> mimeType = std::nullopt;
    std::optional<Resource::Annotations> annotations = std::nullopt;
    bool operator==(const ResourceLink&) const = default;
};

}  // namespace content

namespace detail {

/// The members after "type" of each case, in wire order; optional ones only when present.
void writeContent(boost::json::object& json, const content::Text& block);
void writeContent(boost::json::object& json, const content::Image& block);
void writeContent(boost::json::object& json, const content::Audio& block);
void writeContent(boost::json::object& json, const content::EmbeddedResource& block);
void writeContent(boost::json::object& json, const content::ResourceLink& block);

/// Each case's members read from the block object; members of other cases are ignored. Throw
/// DecodingError.
content::Text readText(const boost::json::object& object);
content::Image readImage(const boost::json::object& object);
content::Audio readAudio(const boost::json::object& object);
content::EmbeddedResource readEmbeddedResource(const boost::json::object& object);
content::ResourceLink readResourceLink(const boost::json::object& object);

using ContentCase =
    std::variant<content::Text, content::Image, content::Audio, content::EmbeddedResource, content::ResourceLink>;

boost::json::value encodeContent(const ContentCase& block);
/// Chooses the case by "type" ("text", "image", "audio", "resource", "resource_link", exactly);
/// any other tag fails as dataCorrupted at "type" with `unknownTypeText`.
ContentCase decodeContent(const boost::json::value& json, std::string_view unknownTypeText);
std::size_t hashContent(const ContentCase& block) noexcept;

}  // namespace detail

/// The five-case content block of prompt messages and of sampling tool results: text, an image,
/// audio, an embedded resource or a link to a resource, tagged by "type". The two families share
/// the wire form and differ in their traits: `Traits::unknownTypeText`, the text of the error for
/// an unknown tag, and `Traits::fromText`, whether a plain string makes a text block.
template <class Traits>
struct BasicContentBlock {
    using Text = content::Text;
    using Image = content::Image;
    using Audio = content::Audio;
    using Resource = content::EmbeddedResource;
    using ResourceLink = content::ResourceLink;
    using Case = detail::ContentCase;

    BasicContentBlock(Text block) : value(std::move(block)) {}
    BasicContentBlock(Image block) : value(std::move(block)) {}
    BasicContentBlock(Audio block) : value(std::move(block)) {}
    BasicContentBlock(Resource block) : value(std::move(block)) {}
    BasicContentBlock(ResourceLink block) : value(std::move(block)) {}
    /// A text block holding `text`, where the family allows it.
    BasicContentBlock(std::string text)
        requires Traits::fromText
        : value(Text{std::move(text)}) {}
    BasicContentBlock(const char* text)
        requires Traits::fromText
        : value(Text{text}) {}

    static BasicContentBlock text(std::string text) { return Text{std::move(text)}; }
    static BasicContentBlock image(std::string data, std::string mimeType) {
        return Image{std::move(data), std::move(mimeType)};
    }
    static BasicContentBlock audio(std::string data, std::string mimeType) {
        return Audio{std::move(data), std::move(mimeType)};
    }

    /// "type" first, then the case's members in order.
    boost::json::value toJSON() const { return detail::encodeContent(value); }
    /// Throws DecodingError: the decoder's own for a missing "type" or member, the family's
    /// unknown-tag text for a tag that names no case.
    static BasicContentBlock fromJSON(const boost::json::value& json) {
        return BasicContentBlock(detail::decodeContent(json, Traits::unknownTypeText));
    }

    bool operator==(const BasicContentBlock&) const = default;

    Case value;

private:
    explicit BasicContentBlock(Case block) : value(std::move(block)) {}
};

}  // namespace mcp

template <class Traits>
struct std::hash<mcp::BasicContentBlock<Traits>> {
    std::size_t operator()(const mcp::BasicContentBlock<Traits>& block) const noexcept {
        return mcp::detail::hashContent(block.value);
    }
};
