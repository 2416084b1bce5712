#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/icon.hpp"
#include "mcp/base/metadata.hpp"

namespace mcp {

/// The description of one resource as a server lists it, with the records that go with
/// resources: their contents, the annotations on a piece of content and resource templates.
/// Nothing checks URIs, templates, MIME types or sizes.
struct Resource {
    /// The contents of one resource: text or base64 bytes, told apart only by which member is
    /// present (nothing enforces exactly one). Made with `text` or `binary`, or decoded.
    struct Content {
        std::string uri;
        std::optional<std::string> mimeType{};
        std::optional<std::string> text{};
        std::optional<std::string> blob{};
        std::optional<Metadata> meta{};

        static Content text_(std::string text, std::string uri, std::optional<std::string> mimeType = std::nullopt,
                             std::optional<Metadata> meta = std::nullopt);
        /// `bytes` go into `blob` as padded standard base64.
        static Content binary(std::string_view bytes, std::string uri,
                              std::optional<std::string> mimeType = std::nullopt,
                              std::optional<Metadata> meta = std::nullopt);

        /// "uri", then "mimeType", "text", "blob" and "_meta", each only when present.
        boost::json::value toJSON() const;
        /// Requires "uri" as a string; the others may be absent or null. Throws DecodingError.
        static Content fromJSON(const boost::json::value& json);

        bool operator==(const Content&) const = default;

    private:
        Content() = default;
    };

    /// Hints on the use of a piece of content; kept as given, without checks.
    struct Annotations {
        enum class Audience { user, assistant };

        /// The audience whose text is exactly `text` ("user" or "assistant"), or nothing.
        static std::optional<Audience> audienceFromRawValue(std::string_view text) noexcept;

        std::optional<std::vector<Audience>> audience{};
        std::optional<double> priority{};
        std::optional<std::string> lastModified{};

        /// "audience", "priority", "lastModified", each only when present; {} for none.
        boost::json::value toJSON() const;
        /// Every member optional; an audience entry other than "user" or "assistant" fails.
        /// Throws DecodingError.
        static Annotations fromJSON(const boost::json::value& json);

        bool operator==(const Annotations&) const = default;
    };

    /// A family of resources named by a URI template, which nothing here expands.
    struct Template {
        std::string uriTemplate;
        std::string name;
        std::optional<std::string> title = std::nullopt;
        std::optional<std::string> description = std::nullopt;
        std::optional<std::string> mimeType = std::nullopt;
        std::optional<Annotations> annotations = std::nullopt;
        std::optional<std::vector<Icon>> icons = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "uriTemplate", "name", then the others in member order, each only when present.
        boost::json::value toJSON() const;
        /// Requires "uriTemplate" and "name" as strings. Throws DecodingError.
        static Template fromJSON(const boost::json::value& json);

        bool operator==(const Template&) const = default;
    };

    std::string name;
    std::optional<std::string> title = std::nullopt;
    std::string uri;
    std::optional<std::string> description = std::nullopt;
    std::optional<std::string> mimeType = std::nullopt;
    std::optional<std::int64_t> size = std::nullopt;
    std::optional<Annotations> annotations = std::nullopt;
    std::optional<std::vector<Icon>> icons = std::nullopt;
    std::optional<Metadata> meta = std::nullopt;

    Resource(std::string name, std::string uri, std::optional<std::string> title = std::nullopt,
             std::optional<std::string> description = std::nullopt,
             std::optional<std::string> mimeType = std::nullopt, std::optional<std::int64_t> size = std::nullopt,
             std::optional<Annotations> annotations = std::nullopt,
             std::optional<std::vector<Icon>> icons = std::nullopt, std::optional<Metadata> meta = std::nullopt);

    /// "name", "uri", then "title", "description", "mimeType", "size", "annotations", "icons" and
    /// "_meta", each only when present.
    boost::json::value toJSON() const;
    /// Requires "name" and "uri" as strings; "size" must be an integer when present. Throws
    /// DecodingError.
    static Resource fromJSON(const boost::json::value& json);

    bool operator==(const Resource&) const = default;
};

/// The wire text of `audience`.
std::string_view rawValue(Resource::Annotations::Audience audience) noexcept;

}  // namespace mcp

template <>
struct std::hash<mcp::Resource::Content> {
    std::size_t operator()(const mcp::Resource::Content& content) const noexcept;
};

template <>
struct std::hash<mcp::Resource::Annotations> {
    std::size_t operator()(const mcp::Resource::Annotations& annotations) const noexcept;
};

template <>
struct std::hash<mcp::Resource::Template> {
    std::size_t operator()(const mcp::Resource::Template& resourceTemplate) const noexcept;
};

template <>
struct std::hash<mcp::Resource> {
    std::size_t operator()(const mcp::Resource& resource) const noexcept;
};
