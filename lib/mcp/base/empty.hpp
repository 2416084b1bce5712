#pragma once

#include <cstddef>
#include <functional>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

namespace mcp {

/// The record without fields: the parameters or result of methods that carry none. Written as {}
/// and read from any JSON value without looking at it.
struct Empty {
    boost::json::value toJSON() const { return boost::json::object(); }
    static Empty fromJSON(const boost::json::value&) noexcept { return {}; }
    bool operator==(const Empty&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::Empty> {
    std::size_t operator()(const mcp::Empty&) const noexcept { return 0; }
};
