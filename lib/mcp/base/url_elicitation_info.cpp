#include "mcp/base/url_elicitation_info.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value URLElicitationInfo::toJSON() const {
    boost::json::object json;
    json.reserve(4);
    json.emplace("mode", mode);
    json.emplace("elicitationId", elicitationId);
    json.emplace("url", url);
    json.emplace("message", message);
    return json;
}

URLElicitationInfo URLElicitationInfo::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    return URLElicitationInfo{
        platform::json::required<std::string>(object, "mode"),
        platform::json::required<std::string>(object, "elicitationId"),
        platform::json::required<std::string>(object, "url"),
        platform::json::required<std::string>(object, "message"),
    };
}

}  // namespace mcp

std::size_t std::hash<mcp::URLElicitationInfo>::operator()(const mcp::URLElicitationInfo& info) const noexcept {
    return mcp::hashValues(info.mode, info.elicitationId, info.url, info.message);
}
