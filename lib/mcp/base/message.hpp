#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/empty.hpp"
#include "mcp/base/hashing.hpp"
#include "mcp/base/method.hpp"

namespace mcp {

/// A JSON-RPC 2.0 notification: "jsonrpc" "2.0", "method" and "params", which is left out when
/// the parameter type is `Empty`.
template <Notification N>
struct Message {
    using Parameters = typename N::Parameters;

    std::string method;
    Parameters params;

    Message(std::string method, Parameters params) : method(std::move(method)), params(std::move(params)) {}

    boost::json::value toJSON() const {
        boost::json::object json;
        json.reserve(3);
        json.emplace("jsonrpc", "2.0");
        json.emplace("method", method);
        if constexpr (!std::same_as<Parameters, Empty>) json.emplace("params", platform::json::encode(params));
        return json;
    }

    /// Reads "jsonrpc" (exactly "2.0"), "method" and "params" by the parameter rule of requests.
    static Message fromJSON(const boost::json::value& json) {
        const auto& envelope = platform::json::asObject(json);
        detail::checkVersion(envelope);
        auto method = platform::json::required<std::string>(envelope, "method");
        auto params = detail::decodeParameters<Parameters>(envelope.if_contains("params"));
        return Message(std::move(method), std::move(params));
    }

    bool operator==(const Message&) const = default;
};

}  // namespace mcp

template <mcp::Notification N>
struct std::hash<mcp::Message<N>> {
    std::size_t operator()(const mcp::Message<N>& message) const {
        return mcp::hashValues(message.method, message.params);
    }
};
