#pragma once

#include "mcp/base/hashing.hpp"
#include "mcp/base/messages.hpp"

#include "platform/json/codec.hpp"

#include <boost/json/object.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mcp::test {

/// Parameters with one required member, "name".
struct Named {
    std::string name;

    boost::json::value toJSON() const { return boost::json::object{{"name", name}}; }
    static Named fromJSON(const boost::json::value& json) {
        return Named{platform::json::required<std::string>(platform::json::asObject(json), "name")};
    }
    bool operator==(const Named&) const = default;
};

/// Parameters that may be left out: one optional member, "cursor".
struct Paged {
    std::optional<std::string> cursor;

    boost::json::value toJSON() const {
        boost::json::object json;
        if (cursor) json.emplace("cursor", *cursor);
        return json;
    }
    static Paged fromJSON(const boost::json::value& json) {
        return Paged{platform::json::optional<std::string>(platform::json::asObject(json), "cursor")};
    }
    bool operator==(const Paged&) const = default;
};

/// A result with one required integer, "count".
struct Counted {
    std::int64_t count;

    boost::json::value toJSON() const { return boost::json::object{{"count", count}}; }
    static Counted fromJSON(const boost::json::value& json) {
        return Counted{platform::json::required<std::int64_t>(platform::json::asObject(json), "count")};
    }
    bool operator==(const Counted&) const = default;
};

struct NamedMethod : BasicMethod<NamedMethod> {
    static constexpr std::string_view name = "test/named";
    using Parameters = Named;
    using Result = Counted;
};

struct PagedMethod : BasicMethod<PagedMethod> {
    static constexpr std::string_view name = "test/paged";
    using Parameters = Paged;
    using Result = Counted;
};

struct NamedNotification : BasicNotification<NamedNotification> {
    static constexpr std::string_view name = "notifications/test/named";
    using Parameters = Named;
};

struct EmptyNotification : BasicNotification<EmptyNotification> {
    static constexpr std::string_view name = "notifications/test/empty";
    using Parameters = Empty;
};

}  // namespace mcp::test

template <>
inline constexpr bool mcp::is_not_required_v<mcp::test::Paged> = true;

template <>
struct std::hash<mcp::test::Named> {
    std::size_t operator()(const mcp::test::Named& named) const noexcept { return mcp::hashValues(named.name); }
};

template <>
struct std::hash<mcp::test::Paged> {
    std::size_t operator()(const mcp::test::Paged& paged) const noexcept { return mcp::hashValues(paged.cursor); }
};

template <>
struct std::hash<mcp::test::Counted> {
    std::size_t operator()(const mcp::test::Counted& counted) const noexcept { return mcp::hashValues(counted.count); }
};
