#include "mcp/base/client_info.hpp"

#include "mcp/base/detail/implementation_record.hpp"
#include "mcp/base/hashing.hpp"

namespace mcp {

ClientInfo::ClientInfo(std::string name, std::string version, std::optional<std::string> title,
                       std::optional<std::string> description, std::optional<std::string> websiteUrl,
                       std::optional<std::vector<Icon>> icons)
    : name(std::move(name)),
      title(std::move(title)),
      version(std::move(version)),
      description(std::move(description)),
      websiteUrl(std::move(websiteUrl)),
      icons(std::move(icons)) {}

boost::json::value ClientInfo::toJSON() const {
    return detail::encodeImplementationRecord(*this);
}

ClientInfo ClientInfo::fromJSON(const boost::json::value& json) {
    return detail::decodeImplementationRecord<ClientInfo>(json);
}

}  // namespace mcp

std::size_t std::hash<mcp::ClientInfo>::operator()(const mcp::ClientInfo& info) const noexcept {
    return mcp::hashValues(info.name, info.title, info.version, info.description, info.websiteUrl, info.icons);
}
