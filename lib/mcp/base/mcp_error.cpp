#include "mcp/base/mcp_error.hpp"

#include <cstdlib>
#include <memory>
#include <system_error>
#include <typeinfo>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/system/system_error.hpp>
#include <cxxabi.h>

#include "mcp/base/detail/value_object.hpp"
#include "mcp/base/hashing.hpp"
#include "mcp/base/value.hpp"
#include "platform/describe.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

namespace {

std::string_view baseDescription(MCPError::Kind kind) {
    switch (kind) {
    case MCPError::Kind::parseError: return "Parse error: Invalid JSON";
    case MCPError::Kind::invalidRequest: return "Invalid Request";
    case MCPError::Kind::methodNotFound: return "Method not found";
    case MCPError::Kind::invalidParams: return "Invalid params";
    case MCPError::Kind::internalError: return "Internal error";
    case MCPError::Kind::serverError: return "Server error: ";
    case MCPError::Kind::urlElicitationRequired: return "URL elicitation required: ";
    case MCPError::Kind::transportError: return "Transport error: ";
    case MCPError::Kind::connectionClosed: return "Connection closed";
    }
    return {};
}

bool carriesDetail(MCPError::Kind kind) {
    return kind <= MCPError::Kind::internalError;
}

std::string demangledTypeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

std::optional<std::string> ownFailureReason(const std::exception_ptr& error) {
    if (!error) return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const MCPError& e) {
        return e.failureReason();
    } catch (...) {
        return std::nullopt;
    }
}

std::string debugText(const std::exception_ptr& error) {
    // Rethrowing a null pointer is undefined; it reads like any error without a description.
    if (!error) return "Unknown error";
    try {
        std::rethrow_exception(error);
    } catch (const MCPError& e) {
        return e.debugDescription();
    } catch (const PeerError& e) {
        return "PeerError(domain: " + e.domain + ", code: " + std::to_string(e.code) + ", description: " +
               e.description + ")";
    } catch (const std::exception& e) {
        return demangledTypeName(typeid(e)) + "(" + e.what() + ")";
    } catch (...) {
        return "Unknown error";
    }
}

// data's "detail" when it is a string.
std::optional<std::string> stringMember(const Value::Object& data, std::string_view key) {
    auto found = data.find(key);
    if (found == data.end()) return std::nullopt;
    if (auto text = found->second.stringValue()) return std::string(*text);
    return std::nullopt;
}

std::vector<URLElicitationInfo> readElicitations(const Value::Object& data) {
    std::vector<URLElicitationInfo> elicitations;
    auto found = data.find("elicitations");
    auto list = found == data.end() ? std::nullopt : found->second.arrayValue();
    if (!list) return elicitations;
    for (const auto& element : *list) {
        const auto* object = element.objectValue();
        if (!object) continue;
        auto mode = stringMember(*object, "mode");
        auto elicitationId = stringMember(*object, "elicitationId");
        auto url = stringMember(*object, "url");
        auto message = stringMember(*object, "message");
        if (!mode || !elicitationId || !url || !message) continue;
        elicitations.push_back(URLElicitationInfo{std::move(*mode), std::move(*elicitationId), std::move(*url),
                                                  std::move(*message)});
    }
    return elicitations;
}

}  // namespace

MCPError::MCPError(Kind kind, std::int64_t code) : kind_(kind), code_(code) {}

MCPError MCPError::withDetail(Kind kind, std::int64_t code, std::optional<std::string> detail) {
    MCPError error(kind, code);
    error.description_ = baseDescription(kind);
    if (detail) {
        error.description_ += ": ";
        error.description_ += *detail;
    }
    error.detail_ = std::move(detail);
    return error;
}

MCPError MCPError::parseError(std::optional<std::string> detail) {
    return withDetail(Kind::parseError, parseErrorCode, std::move(detail));
}

MCPError MCPError::invalidRequest(std::optional<std::string> detail) {
    return withDetail(Kind::invalidRequest, invalidRequestCode, std::move(detail));
}

MCPError MCPError::methodNotFound(std::optional<std::string> detail) {
    return withDetail(Kind::methodNotFound, methodNotFoundCode, std::move(detail));
}

MCPError MCPError::invalidParams(std::optional<std::string> detail) {
    return withDetail(Kind::invalidParams, invalidParamsCode, std::move(detail));
}

MCPError MCPError::internalError(std::optional<std::string> detail) {
    return withDetail(Kind::internalError, internalErrorCode, std::move(detail));
}

MCPError MCPError::serverError(std::int64_t code, std::string message) {
    MCPError error(Kind::serverError, code);
    error.message_ = std::move(message);
    error.description_ = std::string(baseDescription(Kind::serverError)) + error.message_;
    return error;
}

MCPError MCPError::urlElicitationRequired(std::string message, std::vector<URLElicitationInfo> elicitations) {
    MCPError error(Kind::urlElicitationRequired, urlElicitationRequiredCode);
    error.message_ = std::move(message);
    error.elicitations_ = std::move(elicitations);
    error.description_ = std::string(baseDescription(Kind::urlElicitationRequired)) + error.message_;
    return error;
}

MCPError MCPError::transportError(std::exception_ptr underlying) {
    MCPError error(Kind::transportError, transportErrorCode);
    error.underlying_ = std::move(underlying);
    error.description_ = std::string(baseDescription(Kind::transportError)) + platform::describe(error.underlying_);
    return error;
}

MCPError MCPError::connectionClosed() {
    MCPError error(Kind::connectionClosed, connectionClosedCode);
    error.description_ = baseDescription(Kind::connectionClosed);
    return error;
}

std::string MCPError::failureReason() const {
    switch (kind_) {
    case Kind::parseError: return "The server received invalid JSON that could not be parsed";
    case Kind::invalidRequest: return "The JSON sent is not a valid Request object";
    case Kind::methodNotFound: return "The method does not exist or is not available";
    case Kind::invalidParams: return "Invalid method parameter(s)";
    case Kind::internalError: return "Internal JSON-RPC error";
    case Kind::serverError: return "Server-defined error occurred";
    case Kind::urlElicitationRequired: return "The server requires user authentication or input via external URL";
    case Kind::transportError: {
        if (auto reason = ownFailureReason(underlying_)) return *reason;
        return platform::describe(underlying_);
    }
    case Kind::connectionClosed: return "The connection to the server was closed";
    }
    return {};
}

std::optional<std::string> MCPError::recoverySuggestion() const {
    switch (kind_) {
    case Kind::parseError: return "Verify that the JSON being sent is valid and well-formed";
    case Kind::invalidRequest: return "Ensure the request is a well-formed JSON-RPC 2.0 message";
    case Kind::methodNotFound: return "Check the method name and ensure it is supported by the server";
    case Kind::invalidParams: return "Verify the parameters match the method's expected parameters";
    case Kind::urlElicitationRequired:
        if (elicitations_.empty()) return "Complete the required URL-based elicitation";
        return "Visit " + elicitations_.front().url + " to complete the required authentication or input";
    case Kind::connectionClosed: return "Try reconnecting to the server";
    case Kind::internalError:
    case Kind::serverError:
    case Kind::transportError: return std::nullopt;
    }
    return std::nullopt;
}

std::string MCPError::debugDescription() const {
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "[" + std::string at -O3.
    std::string text = "[";
    text += std::to_string(code_);
    text += "] ";
    text += description_;
    if (kind_ == Kind::transportError) text += " (Underlying error: " + debugText(underlying_) + ")";
    return text;
}

boost::json::value MCPError::toJSON() const {
    boost::json::object json;
    json.reserve(3);
    json.emplace("code", code_);
    json.emplace("message", kind_ == Kind::urlElicitationRequired ? message_ : description_);
    if (carriesDetail(kind_)) {
        if (detail_) json.emplace("data", boost::json::object{{"detail", *detail_}});
    } else if (kind_ == Kind::urlElicitationRequired) {
        boost::json::array elicitations;
        elicitations.reserve(elicitations_.size());
        for (const auto& elicitation : elicitations_) elicitations.push_back(elicitation.toJSON());
        json.emplace("data", boost::json::object{{"elicitations", std::move(elicitations)}});
    } else if (kind_ == Kind::transportError) {
        json.emplace("data", boost::json::object{{"error", platform::describe(underlying_)}});
    }
    return json;
}

MCPError MCPError::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    auto code = platform::json::required<std::int64_t>(object, "code");
    auto message = platform::json::required<std::string>(object, "message");
    Value::Object data;
    if (const auto* member = object.if_contains("data"); member && !member->is_null()) {
        data = platform::json::detail::atPath("data", [&] { return detail::decodeValueObject(*member); });
    }

    auto detailOrMessage = [&] { return stringMember(data, "detail").value_or(message); };
    switch (code) {
    case parseErrorCode: return parseError(detailOrMessage());
    case invalidRequestCode: return invalidRequest(detailOrMessage());
    case methodNotFoundCode: return methodNotFound(detailOrMessage());
    case invalidParamsCode: return invalidParams(detailOrMessage());
    case internalErrorCode: return internalError(stringMember(data, "detail"));
    case urlElicitationRequiredCode: return urlElicitationRequired(std::move(message), readElicitations(data));
    case transportErrorCode: {
        auto text = stringMember(data, "error").value_or(message);
        return transportError(std::make_exception_ptr(
            PeerError(std::string(PeerError::jsonRPCDomain), transportErrorCode, std::move(text))));
    }
    case connectionClosedCode: return connectionClosed();
    default: return serverError(code, std::move(message));
    }
}

bool operator==(const MCPError& a, const MCPError& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
    case MCPError::Kind::serverError: return a.code_ == b.code_ && a.message_ == b.message_;
    case MCPError::Kind::urlElicitationRequired:
        return a.message_ == b.message_ && a.elicitations_ == b.elicitations_;
    case MCPError::Kind::transportError: return a.description_ == b.description_;
    case MCPError::Kind::connectionClosed: return true;
    default: return a.detail_ == b.detail_;
    }
}

std::size_t MCPError::hash() const noexcept {
    Hasher hasher;
    hasher.add(code_);
    switch (kind_) {
    case Kind::serverError: hasher.add(message_); break;
    case Kind::urlElicitationRequired: hasher.add(message_).add(elicitations_); break;
    case Kind::transportError: hasher.add(description_); break;
    case Kind::connectionClosed: break;
    default: hasher.add(detail_); break;
    }
    return hasher.finish();
}

bool MCPError::isResourceTemporarilyUnavailable(const std::exception_ptr& error) noexcept {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::system_error& e) {
        return e.code() == std::errc::resource_unavailable_try_again;
    } catch (const boost::system::system_error& e) {
        return e.code() == boost::system::errc::resource_unavailable_try_again;
    } catch (...) {
        return false;
    }
}

}  // namespace mcp
