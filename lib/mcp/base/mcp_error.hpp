#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/url_elicitation_info.hpp"

namespace mcp {

/// The protocol's one error type, sent to the peer as a JSON-RPC error object.
///
/// `what()` is the `errorDescription`, so `platform::describe` reports it like any other error.
/// The underlying error of a transport error is shared, never copied. Immutable; safe to pass
/// between threads.
class MCPError : public std::exception {
public:
    enum class Kind {
        parseError,
        invalidRequest,
        methodNotFound,
        invalidParams,
        internalError,
        serverError,
        urlElicitationRequired,
        transportError,
        connectionClosed,
    };

    static constexpr std::int64_t parseErrorCode = -32700;
    static constexpr std::int64_t invalidRequestCode = -32600;
    static constexpr std::int64_t methodNotFoundCode = -32601;
    static constexpr std::int64_t invalidParamsCode = -32602;
    static constexpr std::int64_t internalErrorCode = -32603;
    static constexpr std::int64_t urlElicitationRequiredCode = -32042;
    static constexpr std::int64_t transportErrorCode = -32001;
    static constexpr std::int64_t connectionClosedCode = -32000;

    // A detail, when given, follows the description after ": " (an empty one included).
    static MCPError parseError(std::optional<std::string> detail = std::nullopt);
    static MCPError invalidRequest(std::optional<std::string> detail = std::nullopt);
    static MCPError methodNotFound(std::optional<std::string> detail = std::nullopt);
    static MCPError invalidParams(std::optional<std::string> detail = std::nullopt);
    static MCPError internalError(std::optional<std::string> detail = std::nullopt);
    static MCPError serverError(std::int64_t code, std::string message);
    static MCPError urlElicitationRequired(std::string message, std::vector<URLElicitationInfo> elicitations);
    /// Wraps any error of a transport; a null `underlying` reads as "Unknown error".
    static MCPError transportError(std::exception_ptr underlying);
    static MCPError connectionClosed();

    Kind kind() const noexcept { return kind_; }
    /// The JSON-RPC error code: fixed per case, or the one a server error carries.
    std::int64_t code() const noexcept { return code_; }
    /// The detail of the first five cases; nothing for the others.
    const std::optional<std::string>& detail() const noexcept { return detail_; }
    /// The message of a server error or a URL-elicitation-required error; empty for the others.
    const std::string& message() const noexcept { return message_; }
    const std::vector<URLElicitationInfo>& elicitations() const noexcept { return elicitations_; }
    /// The error a transport error wraps; null for the other cases.
    const std::exception_ptr& underlyingError() const noexcept { return underlying_; }

    /// The one-line description ("Method not found: tools/x"); also the wire "message" of every
    /// case but URL elicitation.
    const std::string& errorDescription() const noexcept { return description_; }
    std::string failureReason() const;
    std::optional<std::string> recoverySuggestion() const;
    /// "[code] " and the description; a transport error adds its underlying error's debug text.
    std::string debugDescription() const;

    const char* what() const noexcept override { return description_.c_str(); }

    /// {"code", "message", "data"?}: "data" holds {"detail"} for the first five cases when there is
    /// a detail, {"elicitations"} for URL elicitation and {"error"} for a transport error.
    boost::json::value toJSON() const;

    /// Reads an error object by its code (any unknown code is a server error). Throws
    /// DecodingError when "code" or "message" is missing or mistyped or "data" is not an object.
    static MCPError fromJSON(const boost::json::value& json);

    friend bool operator==(const MCPError& a, const MCPError& b);

    std::size_t hash() const noexcept;

    /// True when `error` is a system error for a resource temporarily unavailable (EAGAIN, which is
    /// EWOULDBLOCK here); false for any other error, a transport error wrapping EAGAIN included.
    static bool isResourceTemporarilyUnavailable(const std::exception_ptr& error) noexcept;

private:
    MCPError(Kind kind, std::int64_t code);
    static MCPError withDetail(Kind kind, std::int64_t code, std::optional<std::string> detail);

    Kind kind_;
    std::int64_t code_;
    std::optional<std::string> detail_;
    std::string message_;
    std::vector<URLElicitationInfo> elicitations_;
    std::exception_ptr underlying_;
    std::string description_;
};

/// An error the peer reported and that is known only by its text: what a transport error read
/// from the wire wraps. `what()` is the text.
class PeerError : public std::exception {
public:
    /// The error domain of JSON-RPC errors read from the wire.
    static constexpr std::string_view jsonRPCDomain = "org.inkwarden.mcp.jsonrpc";

    PeerError(std::string domain, std::int64_t code, std::string description)
        : domain(std::move(domain)), code(code), description(std::move(description)) {}

    const char* what() const noexcept override { return description.c_str(); }

    std::string domain;
    std::int64_t code;
    std::string description;
};

}  // namespace mcp

template <>
struct std::hash<mcp::MCPError> {
    std::size_t operator()(const mcp::MCPError& error) const noexcept { return error.hash(); }
};
