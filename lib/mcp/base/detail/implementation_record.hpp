#pragma once

#include <optional>
#include <string>
#include <vector>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/icon.hpp"
#include "platform/json/codec.hpp"

namespace mcp::detail {

// The client's and the server's implementation records share one JSON form.

template <class Record>
boost::json::value encodeImplementationRecord(const Record& record) {
    boost::json::object json;
    json.emplace("name", record.name);
    if (record.title) json.emplace("title", *record.title);
    json.emplace("version", record.version);
    if (record.description) json.emplace("description", *record.description);
    if (record.websiteUrl) json.emplace("websiteUrl", *record.websiteUrl);
    if (record.icons) json.emplace("icons", platform::json::encode(*record.icons));
    return json;
}

template <class Record>
Record decodeImplementationRecord(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto name = platform::json::required<std::string>(object, "name");
    auto title = platform::json::optional<std::string>(object, "title");
    auto version = platform::json::required<std::string>(object, "version");
    auto description = platform::json::optional<std::string>(object, "description");
    auto websiteUrl = platform::json::optional<std::string>(object, "websiteUrl");
    auto icons = platform::json::optional<std::vector<Icon>>(object, "icons");
    return Record(std::move(name), std::move(version), std::move(title), std::move(description),
                  std::move(websiteUrl), std::move(icons));
}

}  // namespace mcp::detail
