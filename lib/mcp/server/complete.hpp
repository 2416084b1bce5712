#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/server/prompt.hpp"

namespace mcp {

/// The resource (by URI or URI template) an argument to complete belongs to, tagged
/// "ref/resource".
struct ResourceReference {
    std::string uri;

    /// "type" ("ref/resource"), "uri".
    boost::json::value toJSON() const;
    /// Requires "type" to be "ref/resource" (any other text fails with "Expected ref/resource
    /// type"), then "uri". Throws DecodingError.
    static ResourceReference fromJSON(const boost::json::value& json);

    bool operator==(const ResourceReference&) const = default;
};

/// What an argument to complete belongs to: a prompt or a resource, told apart by "type" and
/// written as the reference itself, without a wrapper.
struct CompletionReference {
    std::variant<Prompt::Reference, ResourceReference> value;

    CompletionReference(Prompt::Reference reference) : value(std::move(reference)) {}
    CompletionReference(ResourceReference reference) : value(std::move(reference)) {}

    boost::json::value toJSON() const;
    /// "ref/prompt" or "ref/resource", exactly; any other tag fails with "Unknown reference type: "
    /// and the tag. Throws DecodingError.
    static CompletionReference fromJSON(const boost::json::value& json);

    bool operator==(const CompletionReference&) const = default;
};

/// "completion/complete": the client asks for candidate values of an argument being typed.
struct Complete : BasicMethod<Complete> {
    static constexpr std::string_view name = "completion/complete";

    struct Parameters {
        struct Argument {
            std::string name;
            /// The text typed so far.
            std::string value;

            boost::json::value toJSON() const;
            static Argument fromJSON(const boost::json::value& json);
            bool operator==(const Argument&) const = default;
        };

        /// The values of the other arguments already chosen.
        struct Context {
            std::map<std::string, std::string> arguments;

            /// {"arguments": {...}}; "arguments" is required and holds strings only.
            boost::json::value toJSON() const;
            static Context fromJSON(const boost::json::value& json);
            bool operator==(const Context&) const = default;
        };

        CompletionReference ref;
        Argument argument;
        std::optional<Context> context = std::nullopt;

        /// "ref", "argument", then "context" when present.
        boost::json::value toJSON() const;
        /// Requires "ref" and "argument". Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };

    struct Result {
        /// The candidates in the server's order; nothing checks `total` or `hasMore` against them.
        struct Completion {
            std::vector<std::string> values;
            std::optional<std::int64_t> total = std::nullopt;
            std::optional<bool> hasMore = std::nullopt;

            /// "values" always, then "total" and "hasMore" when present.
            boost::json::value toJSON() const;
            static Completion fromJSON(const boost::json::value& json);
            bool operator==(const Completion&) const = default;
        };

        Completion completion;
        std::optional<Metadata> meta = std::nullopt;

        /// "completion", then "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "completion". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

}  // namespace mcp

template <>
struct std::hash<mcp::ResourceReference> {
    std::size_t operator()(const mcp::ResourceReference& reference) const noexcept;
};

template <>
struct std::hash<mcp::CompletionReference> {
    std::size_t operator()(const mcp::CompletionReference& reference) const noexcept;
};

template <>
struct std::hash<mcp::Complete::Parameters::Argument> {
    std::size_t operator()(const mcp::Complete::Parameters::Argument& argument) const noexcept;
};

template <>
struct std::hash<mcp::Complete::Parameters::Context> {
    std::size_t operator()(const mcp::Complete::Parameters::Context& context) const noexcept;
};

template <>
struct std::hash<mcp::Complete::Parameters> {
    std::size_t operator()(const mcp::Complete::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::Complete::Result::Completion> {
    std::size_t operator()(const mcp::Complete::Result::Completion& completion) const noexcept;
};

template <>
struct std::hash<mcp::Complete::Result> {
    std::size_t operator()(const mcp::Complete::Result& result) const noexcept;
};
