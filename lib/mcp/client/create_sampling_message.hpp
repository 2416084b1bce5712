#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/value.hpp"
#include "mcp/client/sampling.hpp"
#include "mcp/server/tool.hpp"

namespace mcp {

/// "sampling/createMessage": the server asks its client to run a model on a conversation. Its
/// parameters are never optional.
struct CreateSamplingMessage : BasicMethod<CreateSamplingMessage> {
    static constexpr std::string_view name = "sampling/createMessage";

    /// Whether and how the model may call the tools offered.
    struct ToolChoice {
        enum class Mode { auto_, required, none };

        /// A decoded tool choice always has a mode: an absent one reads as `auto_`.
        std::optional<Mode> mode = std::nullopt;

        /// {"mode": ...} only for `required` and `none`; {} otherwise.
        boost::json::value toJSON() const;
        /// "mode" may be absent or null (then `auto_`); otherwise "auto", "required" or "none".
        /// Throws DecodingError.
        static ToolChoice fromJSON(const boost::json::value& json);

        bool operator==(const ToolChoice&) const = default;
    };

    struct Parameters {
        std::vector<Sampling::Message> messages;
        std::optional<Sampling::ModelPreferences> modelPreferences = std::nullopt;
        std::optional<std::string> systemPrompt = std::nullopt;
        std::optional<Sampling::ContextInclusion> includeContext = std::nullopt;
        /// No range check.
        std::optional<double> temperature = std::nullopt;
        /// No range check: 0 and negative numbers are carried.
        std::int64_t maxTokens = 0;
        std::optional<std::vector<std::string>> stopSequences = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;
        std::optional<std::vector<Tool>> tools = std::nullopt;
        std::optional<ToolChoice> toolChoice = std::nullopt;
        std::optional<Value::Object> metadata = std::nullopt;

        /// "messages" and "maxTokens" always, every other member only when present, in member
        /// order.
        boost::json::value toJSON() const;
        /// Requires "messages" and "maxTokens" (an integer). Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };

    struct Result {
        /// The model that produced the message.
        std::string model;
        std::optional<Sampling::StopReason> stopReason = std::nullopt;
        Sampling::Message::Role role = Sampling::Message::Role::assistant;
        Sampling::Message::Content content;
        std::optional<Metadata> meta = std::nullopt;

        /// "model", "stopReason" when present, "role", "content", "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "model", "role" and "content". Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// The wire text of `mode`.
std::string_view rawValue(CreateSamplingMessage::ToolChoice::Mode mode) noexcept;

}  // namespace mcp

template <>
struct std::hash<mcp::CreateSamplingMessage::ToolChoice> {
    std::size_t operator()(const mcp::CreateSamplingMessage::ToolChoice& choice) const noexcept;
};

template <>
struct std::hash<mcp::CreateSamplingMessage::Parameters> {
    std::size_t operator()(const mcp::CreateSamplingMessage::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::CreateSamplingMessage::Result> {
    std::size_t operator()(const mcp::CreateSamplingMessage::Result& result) const noexcept;
};
