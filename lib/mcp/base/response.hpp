#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <variant>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/hashing.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/method.hpp"

namespace mcp {

/// A JSON-RPC 2.0 response: the id of the request and either a result or an error.
template <Method M>
struct Response {
    using Result = typename M::Result;

    ID id;
    std::variant<Result, MCPError> result;

    Response(ID id, Result success) : id(std::move(id)), result(std::in_place_index<0>, std::move(success)) {}
    Response(ID id, MCPError failure) : id(std::move(id)), result(std::in_place_index<1>, std::move(failure)) {}

    bool isSuccess() const noexcept { return result.index() == 0; }
    /// The result of a success; null for a failure.
    const Result* success() const noexcept { return std::get_if<0>(&result); }
    /// The error of a failure; null for a success.
    const MCPError* failure() const noexcept { return std::get_if<1>(&result); }

    /// "jsonrpc" "2.0", "id", then "result" or "error".
    boost::json::value toJSON() const {
        boost::json::object json;
        json.reserve(3);
        json.emplace("jsonrpc", "2.0");
        json.emplace("id", id.toJSON());
        if (const auto* value = success()) {
            json.emplace("result", platform::json::encode(*value));
        } else {
            json.emplace("error", failure()->toJSON());
        }
        return json;
    }

    /// Checks "jsonrpc" and reads "id", then takes "result" when it decodes, else "error" when it
    /// decodes; throws DecodingError "Invalid response" when neither does.
    static Response fromJSON(const boost::json::value& json) {
        using platform::json::DecodingError;
        const auto& envelope = platform::json::asObject(json);
        detail::checkVersion(envelope);
        auto id = platform::json::required<ID>(envelope, "id");
        if (const auto* member = envelope.if_contains("result")) {
            try {
                return Response(id, platform::json::decode<Result>(*member));
            } catch (const DecodingError&) {
                // Not a result of this method; maybe the error member reads.
            }
        }
        if (const auto* member = envelope.if_contains("error")) {
            try {
                return Response(id, MCPError::fromJSON(*member));
            } catch (const DecodingError&) {
            }
        }
        throw DecodingError::dataCorrupted("Invalid response");
    }

    friend bool operator==(const Response& a, const Response& b) { return a.id == b.id && a.result == b.result; }
};

}  // namespace mcp

template <mcp::Method M>
struct std::hash<mcp::Response<M>> {
    std::size_t operator()(const mcp::Response<M>& response) const {
        mcp::Hasher hasher;
        hasher.add(response.id).combine(response.result.index());
        if (const auto* value = response.success()) {
            hasher.add(*value);
        } else {
            hasher.add(*response.failure());
        }
        return hasher.finish();
    }
};
