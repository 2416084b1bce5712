#include "mcp/base/server_info.hpp"

#include "mcp/base/detail/implementation_record.hpp"
#include "mcp/base/hashing.hpp"

namespace mcp {

ServerInfo::ServerInfo(std::string name, std::string version, std::optional<std::string> title,
                       std::optional<std::string> description, std::optional<std::string> websiteUrl,
                       std::optional<std::vector<Icon>> icons)
    : name(std::move(name)),
      title(std::move(title)),
      version(std::move(version)),
      description(std::move(description)),
      websiteUrl(std::move(websiteUrl)),
      icons(std::move(icons)) {}

boost::json::value ServerInfo::toJSON() const {
    return detail::encodeImplementationRecord(*this);
}

ServerInfo ServerInfo::fromJSON(const boost::json::value& json) {
    return detail::decodeImplementationRecord<ServerInfo>(json);
}

}  // namespace mcp

std::size_t std::hash<mcp::ServerInfo>::operator()(const mcp::ServerInfo& info) const noexcept {
    return mcp::hashValues(info.name, info.title, info.version, info.description, info.websiteUrl, info.icons);
}
