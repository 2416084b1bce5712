#include "mcp/client/create_sampling_message.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/detail/raw_values.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

using platform::json::optional;
using platform::json::required;
using Mode = CreateSamplingMessage::ToolChoice::Mode;

constexpr detail::RawValues<Mode, 3> modes{"Mode", {{{Mode::auto_, "auto"}, {Mode::required, "required"}, {Mode::none, "none"}}}};

}  // namespace

std::string_view rawValue(Mode mode) noexcept {
    return modes.text(mode);
}

boost::json::value CreateSamplingMessage::ToolChoice::toJSON() const {
    boost::json::object json;
    // "auto" is what an absent mode means, so it is never written.
    if (mode && *mode != Mode::auto_) json.emplace("mode", rawValue(*mode));
    return json;
}

CreateSamplingMessage::ToolChoice CreateSamplingMessage::ToolChoice::fromJSON(const boost::json::value& json) {
    return {modes.optional(platform::json::asObject(json), "mode").value_or(Mode::auto_)};
}

boost::json::value CreateSamplingMessage::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(11);
    json.emplace("messages", platform::json::encode(messages));
    if (modelPreferences) json.emplace("modelPreferences", modelPreferences->toJSON());
    if (systemPrompt) json.emplace("systemPrompt", *systemPrompt);
    if (includeContext) json.emplace("includeContext", rawValue(*includeContext));
    if (temperature) json.emplace("temperature", *temperature);
    json.emplace("maxTokens", maxTokens);
    if (stopSequences) json.emplace("stopSequences", platform::json::encode(*stopSequences));
    if (meta) json.emplace("_meta", meta->toJSON());
    if (tools) json.emplace("tools", platform::json::encode(*tools));
    if (toolChoice) json.emplace("toolChoice", toolChoice->toJSON());
    if (metadata) json.emplace("metadata", platform::json::encode(*metadata));
    return json;
}

CreateSamplingMessage::Parameters CreateSamplingMessage::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Parameters parameters;
    parameters.messages = required<std::vector<Sampling::Message>>(object, "messages");
    parameters.modelPreferences = optional<Sampling::ModelPreferences>(object, "modelPreferences");
    parameters.systemPrompt = optional<std::string>(object, "systemPrompt");
    parameters.includeContext = detail::readContextInclusion(object, "includeContext");
    parameters.temperature = optional<double>(object, "temperature");
    parameters.maxTokens = required<std::int64_t>(object, "maxTokens");
    parameters.stopSequences = optional<std::vector<std::string>>(object, "stopSequences");
    parameters.meta = optional<Metadata>(object, "_meta");
    parameters.tools = optional<std::vector<Tool>>(object, "tools");
    parameters.toolChoice = optional<ToolChoice>(object, "toolChoice");
    parameters.metadata = optional<Value::Object>(object, "metadata");
    return parameters;
}

boost::json::value CreateSamplingMessage::Result::toJSON() const {
    boost::json::object json;
    json.reserve(5);
    json.emplace("model", model);
    if (stopReason) json.emplace("stopReason", stopReason->rawValue);
    json.emplace("role", rawValue(role));
    json.emplace("content", content.toJSON());
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

CreateSamplingMessage::Result CreateSamplingMessage::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto model = required<std::string>(object, "model");
    auto stopReason = optional<std::string>(object, "stopReason");
    auto role = detail::readSamplingRole(object, "role");
    auto content = required<Sampling::Message::Content>(object, "content");
    Result result{std::move(model), std::nullopt, role, std::move(content), optional<Metadata>(object, "_meta")};
    if (stopReason) result.stopReason.emplace(std::move(*stopReason));
    return result;
}

}  // namespace mcp

using mcp::CreateSamplingMessage;

std::size_t std::hash<CreateSamplingMessage::ToolChoice>::operator()(
    const CreateSamplingMessage::ToolChoice& choice) const noexcept {
    return mcp::hashValues(choice.mode);
}

std::size_t std::hash<CreateSamplingMessage::Parameters>::operator()(
    const CreateSamplingMessage::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.messages, parameters.modelPreferences, parameters.systemPrompt,
                           parameters.includeContext, parameters.temperature, parameters.maxTokens,
                           parameters.stopSequences, parameters.meta, parameters.tools, parameters.toolChoice,
                           parameters.metadata);
}

std::size_t std::hash<CreateSamplingMessage::Result>::operator()(
    const CreateSamplingMessage::Result& result) const noexcept {
    return mcp::hashValues(result.model, result.stopReason, static_cast<int>(result.role), result.content,
                           result.meta);
}
