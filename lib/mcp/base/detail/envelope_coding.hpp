#pragma once

#include <string>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/method.hpp"
#include "mcp/base/value.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp::detail {

/// Throws unless the envelope's "jsonrpc" is the text "2.0": keyNotFound or typeMismatch from the
/// decoder, or dataCorrupted "Invalid JSON-RPC version" at "jsonrpc".
void checkVersion(const boost::json::object& envelope);

/// The "params" of a request or notification; `params` is null when the member is missing.
///
/// A NotRequired type takes its parameterless value for a missing or null member and otherwise
/// fails with its own error. Any other type fails with "Missing required params field" for a
/// missing or null member and "Invalid params field" for one that does not decode.
template <class P>
P decodeParameters(const boost::json::value* params) {
    using platform::json::DecodingError;
    if constexpr (is_not_required_v<P>) {
        static_assert(std::default_initializable<P>, "a NotRequired type needs a parameterless value");
        if (!params || params->is_null()) return P{};
        return platform::json::detail::atPath("params", [&] { return platform::json::decode<P>(*params); });
    } else {
        if (params) {
            try {
                return platform::json::decode<P>(*params);
            } catch (const DecodingError&) {
                // The parameter type's own account is dropped for one of the two fixed texts.
            }
        }
        if (!params || params->is_null()) throw DecodingError::dataCorrupted("Missing required params field");
        throw DecodingError::dataCorrupted("Invalid params field");
    }
}

/// A parameter type that reads itself from a Value as it would from that Value's JSON, sharing
/// what it can of the Value instead of building a second tree. Throws DecodingError.
template <class P>
concept ReadableFromValue = requires(const Value& value) {
    { P::fromValue(value) } -> std::same_as<P>;
};

/// The parameters of an erased envelope read as a P, with the outcome of writing the erased
/// envelope as JSON (where "params" is always present, null included) and reading it typed.
template <class P>
P parametersFromValue(const Value& params) {
    using platform::json::DecodingError;
    if constexpr (ReadableFromValue<P> && !is_not_required_v<P>) {
        if (params.isNull()) throw DecodingError::dataCorrupted("Missing required params field");
        try {
            return P::fromValue(params);
        } catch (const DecodingError&) {
            // The parameter type's own account is dropped, as when reading from JSON.
        }
        throw DecodingError::dataCorrupted("Invalid params field");
    }
    if (params.isNull()) {
        boost::json::value null;
        return decodeParameters<P>(&null);
    }
    auto json = params.toJSON();
    return decodeParameters<P>(&json);
}

}  // namespace mcp::detail
