#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include <boost/json/value.hpp>

#include "mcp/base/method.hpp"

namespace mcp {

/// The parameters of the paged list methods: an opaque cursor, carried and never read. May be
/// left out of a request: missing or null "params" read as no cursor.
struct CursorParameters {
    std::optional<std::string> cursor = std::nullopt;

    CursorParameters() = default;
    explicit CursorParameters(std::string cursor) : cursor(std::move(cursor)) {}

    /// "cursor" when present; {} without one.
    boost::json::value toJSON() const;
    /// Requires an object; "cursor" may be absent or null. Throws DecodingError.
    static CursorParameters fromJSON(const boost::json::value& json);

    bool operator==(const CursorParameters&) const = default;
};

template <>
inline constexpr bool is_not_required_v<CursorParameters> = true;

}  // namespace mcp

template <>
struct std::hash<mcp::CursorParameters> {
    std::size_t operator()(const mcp::CursorParameters& parameters) const noexcept;
};
