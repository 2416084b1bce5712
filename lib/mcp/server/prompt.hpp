#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/content_block.hpp"
#include "mcp/base/icon.hpp"
#include "mcp/base/metadata.hpp"

namespace mcp {

namespace detail {

struct PromptContentTraits {
    static constexpr std::string_view unknownTypeText = "Unknown content type";
    static constexpr bool fromText = true;
};

}  // namespace detail

/// A named template of messages that a server offers, listed by "prompts/list" and filled in by
/// "prompts/get".
struct Prompt {
    /// One argument a prompt accepts. An absent `required` means the server did not say, which
    /// is not false.
    struct Argument {
        std::string name;
        std::optional<std::string> title = std::nullopt;
        std::optional<std::string> description = std::nullopt;
        std::optional<bool> required = std::nullopt;

        /// "name", then "title", "description" and "required", each only when present.
        boost::json::value toJSON() const;
        /// Requires "name" as a string. Throws DecodingError.
        static Argument fromJSON(const boost::json::value& json);

        bool operator==(const Argument&) const = default;
    };

    /// One message of a filled-in prompt: a role and exactly one content block.
    struct Message {
        enum class Role { user, assistant };
        /// A string where a block is expected makes a text block.
        using Content = BasicContentBlock<detail::PromptContentTraits>;

        Role role;
        Content content;

        static Message user(Content content) { return {Role::user, std::move(content)}; }
        static Message assistant(Content content) { return {Role::assistant, std::move(content)}; }

        /// "role", "content".
        boost::json::value toJSON() const;
        /// Requires "role" ("user" or "assistant", exactly) and "content". Throws DecodingError.
        static Message fromJSON(const boost::json::value& json);

        bool operator==(const Message&) const = default;
    };

    /// The prompt an argument to complete belongs to, tagged "ref/prompt".
    struct Reference {
        std::string name;
        std::optional<std::string> title = std::nullopt;

        /// "type" ("ref/prompt"), "name", then "title" when present.
        boost::json::value toJSON() const;
        /// Requires a string "type" but, read on its own, does not look at its value; then
        /// "name". Throws DecodingError.
        static Reference fromJSON(const boost::json::value& json);

        bool operator==(const Reference&) const = default;
    };

    std::string name;
    std::optional<std::string> title = std::nullopt;
    std::optional<std::string> description = std::nullopt;
    std::optional<std::vector<Argument>> arguments = std::nullopt;
    std::optional<std::vector<Icon>> icons = std::nullopt;
    std::optional<Metadata> meta = std::nullopt;

    /// "name", then "title", "description", "arguments", "icons" and "_meta", each only when
    /// present.
    boost::json::value toJSON() const;
    /// Requires "name" as a string. Throws DecodingError.
    static Prompt fromJSON(const boost::json::value& json);

    bool operator==(const Prompt&) const = default;
};

/// The wire text of `role`.
std::string_view rawValue(Prompt::Message::Role role) noexcept;

}  // namespace mcp

template <>
struct std::hash<mcp::Prompt::Argument> {
    std::size_t operator()(const mcp::Prompt::Argument& argument) const noexcept;
};

template <>
struct std::hash<mcp::Prompt::Message> {
    std::size_t operator()(const mcp::Prompt::Message& message) const noexcept;
};

template <>
struct std::hash<mcp::Prompt::Reference> {
    std::size_t operator()(const mcp::Prompt::Reference& reference) const noexcept;
};

template <>
struct std::hash<mcp::Prompt> {
    std::size_t operator()(const mcp::Prompt& prompt) const noexcept;
};
