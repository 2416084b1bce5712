#include "mcp/base/initialize.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/hashing.hpp"
#include "mcp/base/version.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value Initialize::Parameters::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("protocolVersion", protocolVersion);
    json.emplace("capabilities", capabilities.toJSON());
    json.emplace("clientInfo", clientInfo.toJSON());
    return json;
}

Initialize::Parameters Initialize::Parameters::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto protocolVersion = platform::json::optional<std::string>(object, "protocolVersion");
    auto capabilities = platform::json::optional<ClientCapabilities>(object, "capabilities");
    auto clientInfo = platform::json::optional<ClientInfo>(object, "clientInfo");
    return Parameters{
        protocolVersion ? std::move(*protocolVersion) : Version::latest(),
        capabilities ? std::move(*capabilities) : ClientCapabilities{},
        clientInfo ? std::move(*clientInfo) : ClientInfo("unknown", "0.0.0"),
    };
}

boost::json::value Initialize::Result::toJSON() const {
    boost::json::object json;
    json.emplace("protocolVersion", protocolVersion);
    json.emplace("capabilities", capabilities.toJSON());
    json.emplace("serverInfo", serverInfo.toJSON());
    if (instructions) json.emplace("instructions", *instructions);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

Initialize::Result Initialize::Result::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto protocolVersion = platform::json::required<std::string>(object, "protocolVersion");
    auto capabilities = platform::json::required<ServerCapabilities>(object, "capabilities");
    auto serverInfo = platform::json::required<ServerInfo>(object, "serverInfo");
    auto instructions = platform::json::optional<std::string>(object, "instructions");
    auto meta = platform::json::optional<Metadata>(object, "_meta");
    return Result{std::move(protocolVersion), std::move(capabilities), std::move(serverInfo),
                  std::move(instructions), std::move(meta)};
}

}  // namespace mcp

std::size_t std::hash<mcp::Initialize::Parameters>::operator()(
    const mcp::Initialize::Parameters& parameters) const noexcept {
    return mcp::hashValues(parameters.protocolVersion, parameters.capabilities, parameters.clientInfo);
}

std::size_t std::hash<mcp::Initialize::Result>::operator()(const mcp::Initialize::Result& result) const noexcept {
    return mcp::hashValues(result.protocolVersion, result.capabilities, result.serverInfo, result.instructions,
                           result.meta);
}
