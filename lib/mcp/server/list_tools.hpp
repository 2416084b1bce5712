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
#include "mcp/server/tool.hpp"

namespace mcp {

/// "tools/list": the client asks for the server's tools. Paging cursors are carried, never read.
struct ListTools : BasicMethod<ListTools> {
    static constexpr std::string_view name = "tools/list";

    /// May be left out of a request: missing or null "params" read as no cursor.
    struct Parameters {
        std::optional<std::string> cursor = std::nullopt;

        Parameters() = default;
        explicit Parameters(std::string cursor) : cursor(std::move(cursor)) {}

        /// "cursor" when present.
        boost::json::value toJSON() const;
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };

    struct Result {
        std::vector<Tool> tools;
        std::optional<std::string> nextCursor = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "tools" always (an empty list as []), "nextCursor" and "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "tools". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

template <>
inline constexpr bool is_not_required_v<ListTools::Parameters> = true;

}  // namespace mcp

template <>
struct std::hash<mcp::ListTools::Parameters> {
    std::size_t operator()(const mcp::ListTools::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::ListTools::Result> {
    std::size_t operator()(const mcp::ListTools::Result& result) const noexcept;
};
