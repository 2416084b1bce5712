#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/cursor_parameters.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/resource.hpp"

namespace mcp {

/// The parameters that name one resource by its URI, unchecked.
struct ResourceParameters {
    std::string uri;

    /// {"uri": ...}.
    boost::json::value toJSON() const;
    /// Requires "uri" as a string. Throws DecodingError.
    static ResourceParameters fromJSON(const boost::json::value& json);

    bool operator==(const ResourceParameters&) const = default;
};

/// "resources/list": the client asks for the server's resources, a page at a time.
struct ListResources : BasicMethod<ListResources> {
    static constexpr std::string_view name = "resources/list";
    using Parameters = CursorParameters;

    struct Result {
        std::vector<Resource> resources;
        std::optional<std::string> nextCursor = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "resources" always, "nextCursor" and "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "resources". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "resources/read": the client asks for the contents of one resource.
struct ReadResource : BasicMethod<ReadResource> {
    static constexpr std::string_view name = "resources/read";
    using Parameters = ResourceParameters;

    struct Result {
        std::vector<Resource::Content> contents;
        std::optional<Metadata> meta = std::nullopt;

        /// "contents" always, "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "contents". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "resources/templates/list": the client asks for the server's resource templates.
struct ListResourceTemplates : BasicMethod<ListResourceTemplates> {
    static constexpr std::string_view name = "resources/templates/list";
    using Parameters = CursorParameters;

    struct Result {
        /// Written under "resourceTemplates"; a result using the key "templates" does not read.
        std::vector<Resource::Template> templates;
        std::optional<std::string> nextCursor = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "resourceTemplates" always, "nextCursor" and "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "resourceTemplates". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "resources/subscribe": the client asks to be told when a resource changes.
struct ResourceSubscribe : BasicMethod<ResourceSubscribe> {
    static constexpr std::string_view name = "resources/subscribe";
    using Parameters = ResourceParameters;
    using Result = Empty;
};

/// "resources/unsubscribe": the client no longer wants to hear of a resource's changes.
struct ResourceUnsubscribe : BasicMethod<ResourceUnsubscribe> {
    static constexpr std::string_view name = "resources/unsubscribe";
    using Parameters = ResourceParameters;
    using Result = Empty;
};

/// "notifications/resources/list_changed": the server's list of resources has changed.
struct ResourceListChangedNotification : BasicNotification<ResourceListChangedNotification> {
    static constexpr std::string_view name = "notifications/resources/list_changed";
    using Parameters = Empty;
};

/// "notifications/resources/updated": a resource the client subscribed to has changed.
struct ResourceUpdatedNotification : BasicNotification<ResourceUpdatedNotification> {
    static constexpr std::string_view name = "notifications/resources/updated";
    using Parameters = ResourceParameters;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ResourceParameters> {
    std::size_t operator()(const mcp::ResourceParameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::ListResources::Result> {
    std::size_t operator()(const mcp::ListResources::Result& result) const noexcept;
};

template <>
struct std::hash<mcp::ReadResource::Result> {
    std::size_t operator()(const mcp::ReadResource::Result& result) const noexcept;
};

template <>
struct std::hash<mcp::ListResourceTemplates::Result> {
    std::size_t operator()(const mcp::ListResourceTemplates::Result& result) const noexcept;
};
