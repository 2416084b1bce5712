#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/server/tool.hpp"

namespace mcp {

/// "tools/call": the client runs one tool. Its parameters are required in every request.
struct CallTool : BasicMethod<CallTool> {
    static constexpr std::string_view name = "tools/call";

    struct Parameters {
        std::optional<Metadata> meta;
        std::string name;
        std::optional<std::map<std::string, Value>> arguments;

        Parameters(std::string name, std::optional<std::map<std::string, Value>> arguments = std::nullopt,
                   std::optional<Metadata> meta = std::nullopt)
            : meta(std::move(meta)), name(std::move(name)), arguments(std::move(arguments)) {}

        /// "_meta" when present, "name", "arguments" when present.
        boost::json::value toJSON() const;
        /// Requires "name". Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);
        /// As `fromJSON(value.toJSON())`, with the arguments sharing `value`'s elements instead
        /// of being read again. Throws DecodingError.
        static Parameters fromValue(const Value& value);

        bool operator==(const Parameters&) const = default;
    };

    struct Result {
        std::vector<Tool::Content> content;
        std::optional<Value> structuredContent;
        /// Absent, false and true are three states; false is written.
        std::optional<bool> isError;
        std::optional<Metadata> meta;

        Result(std::vector<Tool::Content> content, std::optional<Value> structuredContent = std::nullopt,
               std::optional<bool> isError = std::nullopt, std::optional<Metadata> meta = std::nullopt)
            : content(std::move(content)),
              structuredContent(std::move(structuredContent)),
              isError(isError),
              meta(std::move(meta)) {}

        /// `structured` becomes "structuredContent" as the Value it writes as; the content list is
        /// kept as passed. Throws what converting `structured` throws.
        template <class T>
            requires(!std::convertible_to<const T&, std::optional<Value>>)
        Result(std::vector<Tool::Content> content, const T& structured, std::optional<bool> isError = std::nullopt,
               std::optional<Metadata> meta = std::nullopt)
            : Result(std::move(content), std::optional<Value>(Value::from(structured)), isError, std::move(meta)) {}

        /// "content" always (an empty list as []), then "structuredContent", "isError" and
        /// "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "content". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);
        /// As `fromJSON(value.toJSON())`, without the JSON for the usual shape of a result.
        static Result fromValue(const Value& value);

        bool operator==(const Result&) const = default;
    };
};

}  // namespace mcp

template <>
struct std::hash<mcp::CallTool::Parameters> {
    std::size_t operator()(const mcp::CallTool::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::CallTool::Result> {
    std::size_t operator()(const mcp::CallTool::Result& result) const noexcept;
};
