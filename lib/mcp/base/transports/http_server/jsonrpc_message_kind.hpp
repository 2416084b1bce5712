#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mcp {

/// The shape of one raw JSON-RPC body, read without decoding its parameters or result.
///
/// The id text is a string id unchanged or an integer id in decimal, so the ids 7 and "7" give the
/// same text; it keys the HTTP transports' per-request state.
struct JSONRPCMessageKind {
    enum class Case { request, notification, response };

    Case kind;
    /// The id text of a request or a response; empty for a notification.
    std::string id;
    /// The method of a request or a notification; empty for a response.
    std::string method;

    static JSONRPCMessageKind request(std::string id, std::string method) {
        return {Case::request, std::move(id), std::move(method)};
    }
    static JSONRPCMessageKind notification(std::string method) { return {Case::notification, {}, std::move(method)}; }
    static JSONRPCMessageKind response(std::string id) { return {Case::response, std::move(id), {}}; }

    /// Classifies `data`: it must be valid JSON holding one object. A string "method" makes a request
    /// when there is an id (a string, or a number with an integral value in the signed 64-bit
    /// range) and a notification otherwise; else a "result" or an "error" member with an id makes
    /// a response. Nothing for anything else: invalid JSON, an array (a batch), any other value, a
    /// response without an id, an object that carries "method" together with "result" or
    /// "error", which no reader could take for one message, and a method with a null id, which the
    /// engine would answer as a request while this reading takes it for a notification. "jsonrpc"
    /// is not looked at.
    ///
    /// Reads the text once and builds no document, so it costs no more than the bytes it scans.
    static std::optional<JSONRPCMessageKind> classify(std::string_view data);

    /// True only for a request whose method is exactly "initialize".
    bool isInitializeRequest() const noexcept { return kind == Case::request && method == "initialize"; }

    bool operator==(const JSONRPCMessageKind&) const = default;
};

}  // namespace mcp
