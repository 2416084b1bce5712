#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/metadata.hpp"
#include "platform/json/codec.hpp"

namespace mcp::detail {

/// The form of a page of a list method's result: the items under `key` (always, [] for none),
/// then "nextCursor" and "_meta" when present.
template <class T>
boost::json::value writePage(std::string_view key, const std::vector<T>& items,
                             const std::optional<std::string>& nextCursor, const std::optional<Metadata>& meta) {
    boost::json::object json;
    json.reserve(3);
    json.emplace(key, platform::json::encode(items));
    if (nextCursor) json.emplace("nextCursor", *nextCursor);
    if (meta) json.emplace("_meta", meta->toJSON());
    return json;
}

/// Reads a page into `Result{items, nextCursor, meta}`; the items under `key` are required.
/// Throws DecodingError.
template <class Result, class T>
Result readPage(const boost::json::value& json, std::string_view key) {
    const auto& object = platform::json::asObject(json);
    auto items = platform::json::required<std::vector<T>>(object, key);
    auto nextCursor = platform::json::optional<std::string>(object, "nextCursor");
    return Result{std::move(items), std::move(nextCursor), platform::json::optional<Metadata>(object, "_meta")};
}

}  // namespace mcp::detail
