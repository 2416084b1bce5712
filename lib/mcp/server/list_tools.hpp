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
#include "mcp/server/tool.hpp"

namespace mcp {

/// "tools/list": the client asks for the server's tools. Paging cursors are carried, never read.
struct ListTools : BasicMethod<ListTools> {
    static constexpr std::string_view name = "tools/list";

    using Parameters = CursorParameters;

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

}  // namespace mcp

template <>
struct std::hash<mcp::ListTools::Result> {
    std::size_t operator()(const mcp::ListTools::Result& result) const noexcept;
};
