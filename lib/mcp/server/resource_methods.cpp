#include "mcp/server/resource_methods.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/detail/page_coding.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

using platform::json::optional;
using platform::json::required;

}  // namespace

boost::json::value ResourceParameters::toJSON() const {
    return boost::json::object{{"uri", uri}};
}

ResourceParameters ResourceParameters::fromJSON(const boost::json::value& json) {
    return {required<std::string>(platform::json::asObject(json), "uri")};
}

boost::json::value ListResources::Result::toJSON() const {
    return detail::writePage("resources", resources, nextCursor, meta);
}

ListResources::Result ListResources::Result::fromJSON(const boost::json::value& json) {
    return detail::readPage<Result, Resource>(json, "resources");
}

boost::json::value ReadResource::Result::toJSON() const {
    boost::json::object json;
    json.reserve(2);
    json.emplace("contents", platform::json::encode(contents));
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

ReadResource::Result ReadResource::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto contents = required<std::vector<Resource::Content>>(object, "contents");
    return Result{std::move(contents), optional<Metadata>(object, "_meta")};
}

boost::json::value ListResourceTemplates::Result::toJSON() const {
    return detail::writePage("resourceTemplates", templates, nextCursor, meta);
}

ListResourceTemplates::Result ListResourceTemplates::Result::fromJSON(const boost::json::value& json) {
    return detail::readPage<Result, Resource::Template>(json, "resourceTemplates");
}

}  // namespace mcp

std::size_t std::hash<mcp::ResourceParameters>::operator()(const mcp::ResourceParameters& parameters) const noexcept {
    return mcp::hashValues(parameters.uri);
}

std::size_t std::hash<mcp::ListResources::Result>::operator()(const mcp::ListResources::Result& result) const noexcept {
    return mcp::hashValues(result.resources, result.nextCursor, result.meta);
}

std::size_t std::hash<mcp::ReadResource::Result>::operator()(const mcp::ReadResource::Result& result) const noexcept {
    return mcp::hashValues(result.contents, result.meta);
}

std::size_t std::hash<mcp::ListResourceTemplates::Result>::operator()(
    const mcp::ListResourceTemplates::Result& result) const noexcept {
    return mcp::hashValues(result.templates, result.nextCursor, result.meta);
}
