#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/content_block.hpp"
#include "mcp/base/icon.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/resource.hpp"
#include "mcp/base/value.hpp"

namespace mcp {

/// The description of one tool, as a server lists it in answer to "tools/list".
struct Tool {
    /// Optional behaviour hints. Each hint is absent, false or true; false is never treated as
    /// absent.
    struct Annotations {
        std::optional<std::string> title;
        std::optional<bool> destructiveHint;
        std::optional<bool> idempotentHint;
        std::optional<bool> openWorldHint;
        std::optional<bool> readOnlyHint;

        /// The empty value, also built from a null marker: `Tool::Annotations annotations = nullptr;`.
        Annotations() = default;
        Annotations(std::nullptr_t) {}
        /// Note the order, which is not the member order.
        explicit Annotations(std::optional<std::string> title, std::optional<bool> readOnlyHint = std::nullopt,
                             std::optional<bool> destructiveHint = std::nullopt,
                             std::optional<bool> idempotentHint = std::nullopt,
                             std::optional<bool> openWorldHint = std::nullopt);

        /// True when the title and all four hints are absent.
        bool isEmpty() const noexcept;

        /// "title", "destructiveHint", "idempotentHint", "openWorldHint", "readOnlyHint", each only
        /// when present.
        boost::json::value toJSON() const;
        /// Every member optional; null counts as absent. Throws DecodingError.
        static Annotations fromJSON(const boost::json::value& json);

        bool operator==(const Annotations&) const = default;
    };

    /// One block of a tool result: text, an image, audio, an embedded resource or a link to a
    /// resource, tagged by "type". Image and audio data are carried unchanged (by convention base64).
    struct Content {
        enum class Kind { text, image, audio, resource, resourceLink };

        struct Text {
            std::string text;
            std::optional<mcp::Resource::Annotations> annotations = std::nullopt;
            std::optional<Metadata> meta = std::nullopt;
            bool operator==(const Text&) const = default;
        };

        struct Image {
            std::string data;
            std::string mimeType;
            std::optional<mcp::Resource::Annotations> annotations = std::nullopt;
            std::optional<Metadata> meta = std::nullopt;
            bool operator==(const Image&) const = default;
        };

        struct Audio {
            std::string data;
            std::string mimeType;
            std::optional<mcp::Resource::Annotations> annotations = std::nullopt;
            std::optional<Metadata> meta = std::nullopt;
            bool operator==(const Audio&) const = default;
        };

        struct Resource {
            mcp::Resource::Content resource;
            std::optional<mcp::Resource::Annotations> annotations = std::nullopt;
            std::optional<Metadata> meta = std::nullopt;
            bool operator==(const Resource&) const = default;
        };

        /// The one case without "_meta": a "_meta" member on the wire is dropped. The same link
        /// as in prompt and sampling content.
        using ResourceLink = content::ResourceLink;

        using Case = std::variant<Text, Image, Audio, Resource, ResourceLink>;

        Content(Text block) : value(std::move(block)) {}
        Content(Image block) : value(std::move(block)) {}
        Content(Audio block) : value(std::move(block)) {}
        Content(Resource block) : value(std::move(block)) {}
        Content(ResourceLink block) : value(std::move(block)) {}

        /// A block without annotations, with `metadata` as its "_meta".
        static Content text(std::string text, std::optional<Metadata> metadata = std::nullopt);
        static Content image(std::string data, std::string mimeType, std::optional<Metadata> metadata = std::nullopt);
        static Content audio(std::string data, std::string mimeType, std::optional<Metadata> metadata = std::nullopt);

        Kind kind() const noexcept { return static_cast<Kind>(value.index()); }

        /// "type" first, then the case's members in order, optional ones only when present.
        boost::json::value toJSON() const;
        /// Chooses the case by "type" ("text", "image", "audio", "resource", "resource_link"); any
        /// other tag fails with "Unknown tool content type". Throws DecodingError.
        static Content fromJSON(const boost::json::value& json);

        bool operator==(const Content&) const = default;

        Case value;
    };

    std::string name;
    std::optional<std::string> title = std::nullopt;
    /// Always written, as null when absent.
    std::optional<std::string> description = std::nullopt;
    /// The JSON Schema of the arguments.
    Value inputSchema;
    std::optional<Value> outputSchema = std::nullopt;
    /// Written only when not empty.
    Annotations annotations;
    std::optional<std::vector<Icon>> icons = std::nullopt;
    std::optional<Metadata> meta = std::nullopt;

    Tool(std::string name, std::optional<std::string> title, std::optional<std::string> description, Value inputSchema,
         Annotations annotations = {}, std::optional<Value> outputSchema = std::nullopt,
         std::optional<std::vector<Icon>> icons = std::nullopt, std::optional<Metadata> meta = std::nullopt);

    boost::json::value toJSON() const;
    /// Requires "name" and "inputSchema"; every other member may be absent or null. Throws
    /// DecodingError.
    static Tool fromJSON(const boost::json::value& json);

    bool operator==(const Tool&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::Tool::Annotations> {
    std::size_t operator()(const mcp::Tool::Annotations& annotations) const noexcept;
};

template <>
struct std::hash<mcp::Tool::Content> {
    std::size_t operator()(const mcp::Tool::Content& content) const noexcept;
};

template <>
struct std::hash<mcp::Tool> {
    std::size_t operator()(const mcp::Tool& tool) const noexcept;
};
