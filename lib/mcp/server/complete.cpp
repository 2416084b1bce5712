#include "mcp/server/complete.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp {

namespace {

using platform::json::DecodingError;
using platform::json::optional;
using platform::json::required;

DecodingError badType(std::string description) {
    return DecodingError(DecodingError::Kind::dataCorrupted, std::move(description), {"type"});
}

}  // namespace

boost::json::value ResourceReference::toJSON() const {
    boost::json::object json;
    json.reserve(2);
    json.emplace("type", "ref/resource");
    json.emplace("uri", uri);
    return json;
}

ResourceReference ResourceReference::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    if (required<std::string>(object, "type") != "ref/resource") throw badType("Expected ref/resource type");
    return {required<std::string>(object, "uri")};
}

boost::json::value CompletionReference::toJSON() const {
    return std::visit([](const auto& reference) { return reference.toJSON(); }, value);
}

CompletionReference CompletionReference::fromJSON(const boost::json::value& json) {
    auto type = required<std::string>(platform::json::asObject(json), "type");
    if (type == "ref/prompt") return Prompt::Reference::fromJSON(json);
    if (type == "ref/resource") return ResourceReference::fromJSON(json);
    throw badType("Unknown reference type: " + type);
}

boost::json::value Complete::Parameters::Argument::toJSON() const {
    return boost::json::object{{"name", name}, {"value", value}};
}

Complete::Parameters::Argument Complete::Parameters::Argument::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto name = required<std::string>(object, "name");
    return {std::move(name), required<std::string>(object, "value")};
}

boost::json::value Complete::Parameters::Context::toJSON() const {
    return boost::json::object{{"arguments", platform::json::encode(arguments)}};
}

Complete::Parameters::Context Complete::Parameters::Context::fromJSON(const boost::json::value& json) {
    return {required<std::map<std::string, std::string>>(platform::json::asObject(json), "arguments")};
}

boost::json::value Complete::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("ref", ref.toJSON());
    json.emplace("argument", argument.toJSON());
    if (context) json.emplace("context", context->toJSON());
    return json;
}

Complete::Parameters Complete::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto ref = required<CompletionReference>(object, "ref");
    auto argument = required<Argument>(object, "argument");
    return Parameters{std::move(ref), std::move(argument), optional<Context>(object, "context")};
}

boost::json::value Complete::Result::Completion::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("values", platform::json::encode(values));
    if (total) json.emplace("total", *total);
    if (hasMore) json.emplace("hasMore", *hasMore);
    return json;
}

Complete::Result::Completion Complete::Result::Completion::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto values = required<std::vector<std::string>>(object, "values");
    auto total = optional<std::int64_t>(object, "total");
    return Completion{std::move(values), total, optional<bool>(object, "hasMore")};
}

boost::json::value Complete::Result::toJSON() const {
    boost::json::object json;
    json.reserve(2);
    json.emplace("completion", completion.toJSON());
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

Complete::Result Complete::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto completion = required<Completion>(object, "completion");
    return Result{std::move(completion), optional<Metadata>(object, "_meta")};
}

}  // namespace mcp

std::size_t std::hash<mcp::ResourceReference>::operator()(const mcp::ResourceReference& reference) const noexcept {
    return mcp::hashValues(reference.uri);
}

std::size_t std::hash<mcp::CompletionReference>::operator()(
    const mcp::CompletionReference& reference) const noexcept {
    mcp::Hasher hasher;
    hasher.combine(reference.value.index());
    std::visit([&hasher](const auto& payload) { hasher.add(payload); }, reference.value);
    return hasher.finish();
}

std::size_t std::hash<mcp::Complete::Parameters::Argument>::operator()(
    const mcp::Complete::Parameters::Argument& argument) const noexcept {
    return mcp::hashValues(argument.name, argument.value);
}

std::size_t std::hash<mcp::Complete::Parameters::Context>::operator()(
    const mcp::Complete::Parameters::Context& context) const noexcept {
    return mcp::hashValues(context.arguments);
}

std::size_t std::hash<mcp::Complete::Parameters>::operator()(const mcp::Complete::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.ref, parameters.argument, parameters.context);
}

std::size_t std::hash<mcp::Complete::Result::Completion>::operator()(
    const mcp::Complete::Result::Completion& completion) const noexcept {
    return mcp::hashValues(completion.values, completion.total, completion.hasMore);
}

std::size_t std::hash<mcp::Complete::Result>::operator()(const mcp::Complete::Result& result) const noexcept {
    return mcp::hashValues(result.completion, result.meta);
}
