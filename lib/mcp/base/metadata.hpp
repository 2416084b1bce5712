#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/progress_token.hpp"
#include "mcp/base/value.hpp"

namespace mcp {

/// The "_meta" object that many payloads carry: a map of JSON values written as one flat object,
/// most notably holding the request's progress token. Payloads hold it as an optional member
/// `meta`, written only when present (an empty one as {}).
struct Metadata {
    Value::Object fields;

    Metadata() = default;
    explicit Metadata(Value::Object fields) : fields(std::move(fields)) {}
    /// `additionalFields` with `progressToken` written into them: a given token replaces their
    /// "progressToken" entry, and without one that entry is dropped.
    Metadata(std::optional<ProgressToken> progressToken, Value::Object additionalFields);

    /// The entry `key`, or null when there is none.
    const Value* operator[](std::string_view key) const;

    /// The "progressToken" entry when it is a string or an int; nothing for any other entry.
    std::optional<ProgressToken> progressToken() const;
    /// Sets the "progressToken" entry, or removes it for no token; other entries stay.
    void setProgressToken(const std::optional<ProgressToken>& token);

    boost::json::value toJSON() const;
    /// Reads a JSON object, each member as a Value. Throws DecodingError for anything else.
    static Metadata fromJSON(const boost::json::value& json);

    bool operator==(const Metadata&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::Metadata> {
    std::size_t operator()(const mcp::Metadata& metadata) const noexcept;
};
