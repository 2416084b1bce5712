#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/hashing.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/method.hpp"
#include "mcp/base/value.hpp"

namespace mcp {

/// A JSON-RPC 2.0 request: "jsonrpc" "2.0", "id", "method" and "params" (always written).
/// `method` is the text as sent or given; it is not checked against `M::name`.
template <Method M>
struct Request {
    using Parameters = typename M::Parameters;

    ID id;
    std::string method;
    Parameters params;

    Request(ID id, std::string method, Parameters params)
        : id(std::move(id)), method(std::move(method)), params(std::move(params)) {}

    /// Erases a typed request: the outcome of writing it as JSON and reading it back erased.
    /// Throws EncodingError when its parameters hold a NaN or infinity.
    template <Method T>
        requires std::same_as<M, AnyMethod> && (!std::same_as<T, AnyMethod>)
    explicit Request(const Request<T>& typed)
        : id(typed.id), method(typed.method), params(Value::fromJSON(platform::json::encode(typed.params))) {}

    boost::json::value toJSON() const {
        boost::json::object json;
        json.reserve(4);
        json.emplace("jsonrpc", "2.0");
        json.emplace("id", id.toJSON());
        json.emplace("method", method);
        json.emplace("params", platform::json::encode(params));
        return json;
    }

    /// Reads "jsonrpc" (exactly "2.0"), "id", "method" and "params", in that order. Throws
    /// DecodingError: "Invalid JSON-RPC version", the parameter rule's texts, or the decoder's own.
    static Request fromJSON(const boost::json::value& json) {
        const auto& envelope = platform::json::asObject(json);
        detail::checkVersion(envelope);
        auto id = platform::json::required<ID>(envelope, "id");
        auto method = platform::json::required<std::string>(envelope, "method");
        auto params = detail::decodeParameters<Parameters>(envelope.if_contains("params"));
        return Request(std::move(id), std::move(method), std::move(params));
    }

    bool operator==(const Request&) const = default;
};

}  // namespace mcp

template <mcp::Method M>
struct std::hash<mcp::Request<M>> {
    std::size_t operator()(const mcp::Request<M>& request) const {
        return mcp::hashValues(request.id, request.method, request.params);
    }
};
