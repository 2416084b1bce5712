#include "mcp/client/elicitation.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/detail/raw_values.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

using platform::json::optional;
using platform::json::required;
using FormParameters = CreateElicitation::Parameters::FormParameters;
using URLParameters = CreateElicitation::Parameters::URLParameters;
using Action = CreateElicitation::Result::Action;
using SchemaType = Elicitation::RequestSchema::SchemaType;

constexpr detail::RawValues<Elicitation::Mode, 2> modes{
    "Mode", {{{Elicitation::Mode::form, "form"}, {Elicitation::Mode::url, "url"}}}};

constexpr detail::RawValues<SchemaType, 1> schemaTypes{"SchemaType", {{{SchemaType::object, "object"}}}};

constexpr detail::RawValues<Action, 3> actions{
    "Action", {{{Action::accept, "accept"}, {Action::decline, "decline"}, {Action::cancel, "cancel"}}}};

/// The URL case's members after "mode", which the union has read already.
URLParameters readURLMembers(const boost::json::object& object, std::string message, Elicitation::Mode mode) {
    auto url = required<std::string>(object, "url");
    auto elicitationId = required<std::string>(object, "elicitationId");
    URLParameters parameters(std::move(message), std::move(url), std::move(elicitationId),
                             optional<Metadata>(object, "_meta"));
    parameters.mode = mode;
    return parameters;
}

FormParameters readFormMembers(const boost::json::object& object, std::optional<Elicitation::Mode> mode) {
    auto message = required<std::string>(object, "message");
    auto schema = required<Elicitation::RequestSchema>(object, "requestedSchema");
    return FormParameters{std::move(message), mode, std::move(schema), optional<Metadata>(object, "_meta")};
}

}  // namespace

std::string_view rawValue(Elicitation::Mode mode) noexcept {
    return modes.text(mode);
}

std::string_view rawValue(Action action) noexcept {
    return actions.text(action);
}

boost::json::value Elicitation::RequestSchema::toJSON() const {
    boost::json::object json;
    json.reserve(5);
    if (title) json.emplace("title", *title);
    if (description) json.emplace("description", *description);
    json.emplace("properties", platform::json::encode(properties));
    if (required) json.emplace("required", platform::json::encode(*required));
    json.emplace("type", schemaTypes.text(type));
    return json;
}

Elicitation::RequestSchema Elicitation::RequestSchema::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    RequestSchema schema;
    schema.title = optional<std::string>(object, "title");
    schema.description = optional<std::string>(object, "description");
    schema.properties = platform::json::required<Value::Object>(object, "properties");
    schema.required = optional<std::vector<std::string>>(object, "required");
    schema.type = schemaTypes.required(object, "type");
    return schema;
}

boost::json::value FormParameters::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    json.emplace("message", message);
    if (mode) json.emplace("mode", rawValue(*mode));
    json.emplace("requestedSchema", requestedSchema.toJSON());
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

FormParameters FormParameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return readFormMembers(object, modes.optional(object, "mode"));
}

boost::json::value URLParameters::toJSON() const {
    boost::json::object json;
    json.reserve(5);
    json.emplace("message", message);
    json.emplace("mode", rawValue(mode));
    json.emplace("url", url);
    json.emplace("elicitationId", elicitationId);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

URLParameters URLParameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto message = required<std::string>(object, "message");
    auto mode = modes.required(object, "mode");
    return readURLMembers(object, std::move(message), mode);
}

boost::json::value CreateElicitation::Parameters::toJSON() const {
    return std::visit([](const auto& parameters) { return parameters.toJSON(); }, value);
}

CreateElicitation::Parameters CreateElicitation::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto mode = modes.optional(object, "mode");
    if (mode == Elicitation::Mode::url) {
        auto message = required<std::string>(object, "message");
        return readURLMembers(object, std::move(message), Elicitation::Mode::url);
    }
    return readFormMembers(object, mode);
}

boost::json::value CreateElicitation::Result::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("action", rawValue(action));
    if (content) json.emplace("content", platform::json::encode(*content));
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

CreateElicitation::Result CreateElicitation::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto action = actions.required(object, "action");
    auto content = optional<Value::Object>(object, "content");
    return Result{action, std::move(content), optional<Metadata>(object, "_meta")};
}

boost::json::value ElicitationCompleteNotification::Parameters::toJSON() const {
    return boost::json::object{{"elicitationId", elicitationId}};
}

ElicitationCompleteNotification::Parameters ElicitationCompleteNotification::Parameters::fromJSON(
    const boost::json::value& json) {
    return {required<std::string>(platform::json::asObject(json), "elicitationId")};
}

}  // namespace mcp

using mcp::CreateElicitation;

std::size_t std::hash<mcp::Elicitation::RequestSchema>::operator()(
    const mcp::Elicitation::RequestSchema& schema) const noexcept {
    return mcp::hashValues(schema.title, schema.description, schema.properties, schema.required,
                           static_cast<int>(schema.type));
}

std::size_t std::hash<CreateElicitation::Parameters::FormParameters>::operator()(
    const CreateElicitation::Parameters::FormParameters& parameters) const noexcept {
    return mcp::hashValues(parameters.message, parameters.mode, parameters.requestedSchema, parameters.meta);
}

std::size_t std::hash<CreateElicitation::Parameters::URLParameters>::operator()(
    const CreateElicitation::Parameters::URLParameters& parameters) const noexcept {
    return mcp::hashValues(parameters.message, static_cast<int>(parameters.mode), parameters.url,
                           parameters.elicitationId, parameters.meta);
}

std::size_t std::hash<CreateElicitation::Parameters>::operator()(
    const CreateElicitation::Parameters& parameters) const noexcept {
    mcp::Hasher hasher;
    hasher.combine(parameters.value.index());
    std::visit([&hasher](const auto& payload) { hasher.add(payload); }, parameters.value);
    return hasher.finish();
}

std::size_t std::hash<CreateElicitation::Result>::operator()(const CreateElicitation::Result& result) const noexcept {
    return mcp::hashValues(static_cast<int>(result.action), result.content, result.meta);
}

std::size_t std::hash<mcp::ElicitationCompleteNotification::Parameters>::operator()(
    const mcp::ElicitationCompleteNotification::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.elicitationId);
}
