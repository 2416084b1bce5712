#include "mcp/base/client_capabilities.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

// A marker is declared by any value but null.
bool declares(const boost::json::object& object, std::string_view key) {
    const auto* member = object.if_contains(key);
    return member && !member->is_null();
}

template <class Marker>
std::optional<Marker> marker(const boost::json::object& object, std::string_view key) {
    if (declares(object, key)) return Marker{};
    return std::nullopt;
}

}  // namespace

boost::json::value ClientCapabilities::Sampling::toJSON() const {
    boost::json::object json;
    if (tools) json.emplace("tools", tools->toJSON());
    if (context) json.emplace("context", context->toJSON());
    return json;
}

ClientCapabilities::Sampling ClientCapabilities::Sampling::fromJSON(const boost::json::value& json) {
    Sampling sampling;
    if (const auto* object = json.if_object()) {
        sampling.tools = marker<Tools>(*object, "tools");
        sampling.context = marker<Context>(*object, "context");
    }
    return sampling;
}

boost::json::value ClientCapabilities::Elicitation::toJSON() const {
    boost::json::object json;
    if (form) json.emplace("form", form->toJSON());
    if (url) json.emplace("url", url->toJSON());
    return json;
}

ClientCapabilities::Elicitation ClientCapabilities::Elicitation::fromJSON(const boost::json::value& json) {
    Elicitation elicitation;
    if (const auto* object = json.if_object()) {
        elicitation.form = marker<Form>(*object, "form");
        elicitation.url = marker<URL>(*object, "url");
    }
    // Clients that declare elicitation without naming a mode mean the form mode.
    if (!elicitation.form && !elicitation.url) elicitation.form = Form{};
    return elicitation;
}

boost::json::value ClientCapabilities::Roots::toJSON() const {
    boost::json::object json;
    if (listChanged) json.emplace("listChanged", *listChanged);
    return json;
}

ClientCapabilities::Roots ClientCapabilities::Roots::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return Roots{platform::json::optional<bool>(object, "listChanged")};
}

boost::json::value ClientCapabilities::toJSON() const {
    boost::json::object json;
    if (sampling) json.emplace("sampling", sampling->toJSON());
    if (elicitation) json.emplace("elicitation", elicitation->toJSON());
    if (experimental) json.emplace("experimental", platform::json::encode(*experimental));
    if (roots) json.emplace("roots", roots->toJSON());
    return json;
}

ClientCapabilities ClientCapabilities::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    ClientCapabilities capabilities;
    capabilities.sampling = platform::json::optional<Sampling>(object, "sampling");
    capabilities.elicitation = platform::json::optional<Elicitation>(object, "elicitation");
    capabilities.experimental = platform::json::optional<std::map<std::string, std::string>>(object, "experimental");
    capabilities.roots = platform::json::optional<Roots>(object, "roots");
    return capabilities;
}

}  // namespace mcp

std::size_t std::hash<mcp::ClientCapabilities::Sampling>::operator()(
    const mcp::ClientCapabilities::Sampling& sampling) const noexcept {
    return mcp::hashValues(sampling.tools, sampling.context);
}

std::size_t std::hash<mcp::ClientCapabilities::Elicitation>::operator()(
    const mcp::ClientCapabilities::Elicitation& elicitation) const noexcept {
    return mcp::hashValues(elicitation.form, elicitation.url);
}

std::size_t std::hash<mcp::ClientCapabilities::Roots>::operator()(
    const mcp::ClientCapabilities::Roots& roots) const noexcept {
    return mcp::hashValues(roots.listChanged);
}

std::size_t std::hash<mcp::ClientCapabilities>::operator()(const mcp::ClientCapabilities& capabilities) const noexcept {
    return mcp::hashValues(capabilities.sampling, capabilities.elicitation, capabilities.experimental,
                           capabilities.roots);
}
