#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"

namespace mcp {

/// A named URI that a client reports to its server when asked. Nothing checks the URI.
struct Root {
    std::string uri;
    std::optional<std::string> name = std::nullopt;
    std::optional<Metadata> meta = std::nullopt;

    /// "uri", then "name" and "_meta" only when present.
    boost::json::value toJSON() const;
    /// Requires "uri" as a string; "name" and "_meta" may be absent or null.
    static Root fromJSON(const boost::json::value& json);

    bool operator==(const Root&) const = default;
};

/// "roots/list": the server asks its client for its roots.
struct ListRoots : BasicMethod<ListRoots> {
    static constexpr std::string_view name = "roots/list";
    using Parameters = Empty;

    struct Result {
        std::vector<Root> roots;
        std::optional<Metadata> meta = std::nullopt;

        /// "roots" always (an empty list as []), "_meta" only when present.
        boost::json::value toJSON() const;
        /// Requires "roots"; one entry that does not read fails the whole result.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "notifications/roots/list_changed": the client's list of roots has changed.
struct RootsListChangedNotification : BasicNotification<RootsListChangedNotification> {
    static constexpr std::string_view name = "notifications/roots/list_changed";
    using Parameters = Empty;
};

}  // namespace mcp

template <>
struct std::hash<mcp::Root> {
    std::size_t operator()(const mcp::Root& root) const;
};

template <>
struct std::hash<mcp::ListRoots::Result> {
    std::size_t operator()(const mcp::ListRoots::Result& result) const;
};
