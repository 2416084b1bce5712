#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/cursor_parameters.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/server/prompt.hpp"

namespace mcp {

/// "prompts/list": the client asks for the server's prompts, a page at a time.
struct ListPrompts : BasicMethod<ListPrompts> {
    static constexpr std::string_view name = "prompts/list";
    using Parameters = CursorParameters;

    struct Result {
        std::vector<Prompt> prompts;
        std::optional<std::string> nextCursor = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "prompts" always, "nextCursor" and "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "prompts". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "prompts/get": the client asks for one prompt filled in with string arguments.
struct GetPrompt : BasicMethod<GetPrompt> {
    static constexpr std::string_view name = "prompts/get";

    struct Parameters {
        std::string name;
        std::optional<std::map<std::string, std::string>> arguments = std::nullopt;

        /// "name", then "arguments" (an object of strings) when present.
        boost::json::value toJSON() const;
        /// Requires "name"; every argument value must be a string. Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };

    struct Result {
        std::optional<std::string> description = std::nullopt;
        std::vector<Prompt::Message> messages;
        std::optional<Metadata> meta = std::nullopt;

        /// "description" when present, "messages" always, "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "messages". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "notifications/prompts/list_changed": the server's list of prompts has changed.
struct PromptListChangedNotification : BasicNotification<PromptListChangedNotification> {
    static constexpr std::string_view name = "notifications/prompts/list_changed";
    using Parameters = Empty;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ListPrompts::Result> {
    std::size_t operator()(const mcp::ListPrompts::Result& result) const noexcept;
};

template <>
struct std::hash<mcp::GetPrompt::Parameters> {
    std::size_t operator()(const mcp::GetPrompt::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::GetPrompt::Result> {
    std::size_t operator()(const mcp::GetPrompt::Result& result) const noexcept;
};
