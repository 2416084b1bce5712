#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/content_block.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/unit_interval.hpp"
#include "mcp/base/value.hpp"

namespace mcp {

namespace detail {

struct ToolResultContentTraits {
    static constexpr std::string_view unknownTypeText = "Unknown tool result content block type";
    static constexpr bool fromText = false;
};

}  // namespace detail

/// The values of a sampling conversation, which a server sends its client with
/// "sampling/createMessage": messages and their content blocks, the model preferences and the
/// stop reason of the result. A type without instances.
struct Sampling {
    Sampling() = delete;

    /// Which servers' context the client should add to the prompt.
    enum class ContextInclusion { none, thisServer, allServers };

    /// Why the model stopped: an open set that keeps any text.
    struct StopReason {
        std::string rawValue;

        StopReason(std::string rawValue) : rawValue(std::move(rawValue)) {}
        StopReason(const char* rawValue) : rawValue(rawValue) {}

        static const StopReason endTurn;
        static const StopReason stopSequence;
        static const StopReason maxTokens;
        static const StopReason toolUse;

        bool operator==(const StopReason&) const = default;
    };

    /// How the client should choose a model; each priority lies in 0...1.
    struct ModelPreferences {
        struct Hint {
            std::optional<std::string> name = std::nullopt;

            /// {"name": ...}, or {} without a name.
            boost::json::value toJSON() const;
            static Hint fromJSON(const boost::json::value& json);
            bool operator==(const Hint&) const = default;
        };

        std::optional<std::vector<Hint>> hints = std::nullopt;
        std::optional<UnitInterval> costPriority = std::nullopt;
        std::optional<UnitInterval> speedPriority = std::nullopt;
        std::optional<UnitInterval> intelligencePriority = std::nullopt;

        /// Each member only when present; {} for none.
        boost::json::value toJSON() const;
        /// Every member optional; a priority outside 0...1 fails with "Value <n> is not in range
        /// 0...1". Throws DecodingError.
        static ModelPreferences fromJSON(const boost::json::value& json);

        bool operator==(const ModelPreferences&) const = default;
    };

    /// The model asks to call a tool.
    struct ToolUseContent {
        std::string id;
        std::string name;
        Value::Object input;
        std::optional<Metadata> meta = std::nullopt;

        /// "id", "name", "input" (always), then "_meta" when present; no "type".
        boost::json::value toJSON() const;
        /// Requires "id", "name" and "input" (an object). Throws DecodingError.
        static ToolUseContent fromJSON(const boost::json::value& json);

        bool operator==(const ToolUseContent&) const = default;
    };

    /// The outcome of a tool call, sent back to the model.
    struct ToolResultContent {
        /// The prompt message's block in all but its unknown-tag error, and no string makes one.
        using ContentBlock = BasicContentBlock<detail::ToolResultContentTraits>;

        std::string toolUseId;
        std::vector<ContentBlock> content;
        std::optional<Value::Object> structuredContent = std::nullopt;
        /// Absent is not false; false is written.
        std::optional<bool> isError = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "toolUseId", "content" (always an array), then "structuredContent", "isError" and
        /// "_meta" when present; no "type".
        boost::json::value toJSON() const;
        /// Requires "toolUseId" and "content" (an array). Throws DecodingError.
        static ToolResultContent fromJSON(const boost::json::value& json);

        bool operator==(const ToolResultContent&) const = default;
    };

    /// One message of the conversation.
    struct Message {
        enum class Role { user, assistant };

        /// One block, or an array of blocks (possibly empty). A single block and an array holding
        /// only that block differ, though the array reads back as the single block.
        struct Content {
            /// One flat object tagged by "type": "text", "image", "audio", "tool_use" or
            /// "tool_result"; the tool payloads' members sit beside "type".
            struct ContentBlock {
                using Text = content::Text;
                using Image = content::Image;
                using Audio = content::Audio;
                using ToolUse = ToolUseContent;
                using ToolResult = ToolResultContent;
                using Case = std::variant<Text, Image, Audio, ToolUse, ToolResult>;

                ContentBlock(Text block) : value(std::move(block)) {}
                ContentBlock(Image block) : value(std::move(block)) {}
                ContentBlock(Audio block) : value(std::move(block)) {}
                ContentBlock(ToolUse block) : value(std::move(block)) {}
                ContentBlock(ToolResult block) : value(std::move(block)) {}

                boost::json::value toJSON() const;
                /// Any tag but the five fails with "Unknown sampling message content block type".
                /// Throws DecodingError.
                static ContentBlock fromJSON(const boost::json::value& json);

                bool operator==(const ContentBlock&) const = default;

                Case value;
            };

            Content(ContentBlock block) : value(std::move(block)) {}
            Content(std::vector<ContentBlock> blocks) : value(std::move(blocks)) {}
            /// A single text block.
            Content(std::string text) : value(ContentBlock(content::Text{std::move(text)})) {}
            Content(const char* text) : value(ContentBlock(content::Text{text})) {}

            static Content text(std::string text) { return Content(std::move(text)); }
            static Content image(std::string data, std::string mimeType) {
                return ContentBlock(content::Image{std::move(data), std::move(mimeType)});
            }
            static Content audio(std::string data, std::string mimeType) {
                return ContentBlock(content::Audio{std::move(data), std::move(mimeType)});
            }

            bool isSingle() const noexcept { return value.index() == 0; }
            /// The single block as a one-element array, or the array itself.
            std::vector<ContentBlock> asArray() const;

            /// A single block as its object, multiple blocks as an array (also of one or none).
            boost::json::value toJSON() const;
            /// Reads an array of blocks first: one block gives `single`, any other count
            /// `multiple`. When that fails for any reason, reads one block, and that error is
            /// the one thrown. Throws DecodingError.
            static Content fromJSON(const boost::json::value& json);

            bool operator==(const Content&) const = default;

            std::variant<ContentBlock, std::vector<ContentBlock>> value;
        };

        Role role;
        Content content;
        std::optional<Metadata> meta = std::nullopt;

        static Message user(Content content, std::optional<Metadata> meta = std::nullopt) {
            return {Role::user, std::move(content), std::move(meta)};
        }
        static Message assistant(Content content, std::optional<Metadata> meta = std::nullopt) {
            return {Role::assistant, std::move(content), std::move(meta)};
        }

        /// "role", "content", then "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "role" ("user" or "assistant", exactly) and "content". Throws DecodingError.
        static Message fromJSON(const boost::json::value& json);

        bool operator==(const Message&) const = default;
    };
};

inline const Sampling::StopReason Sampling::StopReason::endTurn{"endTurn"};
inline const Sampling::StopReason Sampling::StopReason::stopSequence{"stopSequence"};
inline const Sampling::StopReason Sampling::StopReason::maxTokens{"maxTokens"};
inline const Sampling::StopReason Sampling::StopReason::toolUse{"toolUse"};

/// The wire texts of the closed sets.
std::string_view rawValue(Sampling::ContextInclusion inclusion) noexcept;
std::string_view rawValue(Sampling::Message::Role role) noexcept;

namespace detail {

/// The optional member `key` read as a context inclusion; any other text fails with the
/// invalid-value error. Throws DecodingError.
std::optional<Sampling::ContextInclusion> readContextInclusion(const boost::json::object& object,
                                                               std::string_view key);
/// The required member `key` read as a role; as above.
Sampling::Message::Role readSamplingRole(const boost::json::object& object, std::string_view key);

}  // namespace detail

}  // namespace mcp

template <>
struct std::hash<mcp::Sampling::StopReason> {
    std::size_t operator()(const mcp::Sampling::StopReason& reason) const noexcept {
        return std::hash<std::string>{}(reason.rawValue);
    }
};

template <>
struct std::hash<mcp::Sampling::ModelPreferences::Hint> {
    std::size_t operator()(const mcp::Sampling::ModelPreferences::Hint& hint) const noexcept;
};

template <>
struct std::hash<mcp::Sampling::ModelPreferences> {
    std::size_t operator()(const mcp::Sampling::ModelPreferences& preferences) const noexcept;
};

template <>
struct std::hash<mcp::Sampling::ToolUseContent> {
    std::size_t operator()(const mcp::Sampling::ToolUseContent& content) const noexcept;
};

template <>
struct std::hash<mcp::Sampling::ToolResultContent> {
    std::size_t operator()(const mcp::Sampling::ToolResultContent& content) const noexcept;
};

template <>
struct std::hash<mcp::Sampling::Message::Content::ContentBlock> {
    std::size_t operator()(const mcp::Sampling::Message::Content::ContentBlock& block) const noexcept;
};

template <>
struct std::hash<mcp::Sampling::Message::Content> {
    std::size_t operator()(const mcp::Sampling::Message::Content& content) const noexcept;
};

template <>
struct std::hash<mcp::Sampling::Message> {
    std::size_t operator()(const mcp::Sampling::Message& message) const noexcept;
};
