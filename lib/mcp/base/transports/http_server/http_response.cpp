#include "mcp/base/transports/http_server/http_response.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/transports/http_server/content_type.hpp"
#include "mcp/base/transports/http_server/http_header_name.hpp"
#include "platform/json/write.hpp"

namespace mcp {

namespace {

std::optional<std::string> errorBody(const MCPError& error) {
    const auto& description = error.errorDescription();
    boost::json::object object;
    object.reserve(3);
    object.emplace("jsonrpc", "2.0");
    object.emplace("error", boost::json::object{
                                {"code", error.code()},
                                {"message", description.empty() ? std::string_view("Unknown error") : description},
                            });
    object.emplace("id", nullptr);
    try {
        return platform::json::write(object);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

HTTPResponse HTTPResponse::accepted(Headers headers) {
    return HTTPResponse(Kind::accepted, 202, std::move(headers));
}

HTTPResponse HTTPResponse::ok(Headers headers) {
    return HTTPResponse(Kind::ok, 200, std::move(headers));
}

HTTPResponse HTTPResponse::data(std::string body, Headers headers) {
    HTTPResponse response(Kind::data, 200, std::move(headers));
    response.body_ = std::move(body);
    return response;
}

HTTPResponse HTTPResponse::stream(platform::AsyncStream<std::string> events, Headers headers) {
    HTTPResponse response(Kind::stream, 200, std::move(headers));
    response.stream_ = std::move(events);
    return response;
}

HTTPResponse HTTPResponse::error(int statusCode, MCPError error, std::optional<std::string> sessionID,
                                 Headers extraHeaders) {
    Headers headers{{std::string(HTTPHeaderName::contentType), std::string(ContentType::json)}};
    if (sessionID) headers.insert_or_assign(std::string(HTTPHeaderName::sessionID), *sessionID);
    for (auto& [name, value] : extraHeaders) headers.insert_or_assign(name, std::move(value));

    HTTPResponse response(Kind::error, statusCode, std::move(headers));
    response.body_ = errorBody(error);
    response.error_ = std::move(error);
    return response;
}

}  // namespace mcp
