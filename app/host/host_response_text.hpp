#pragma once

#include <string>
#include <string_view>

#include "mcp/base/transports/http_server/http_response.hpp"

namespace inkwarden {

/// The reason phrase the host writes for `status`: the usual phrase for 200, 202, 400, 401, 403,
/// 404, 405, 406 and 415, else "OK" below 400 and "Error" from 400.
std::string_view reasonPhrase(int status) noexcept;

/// The status line and header block of `response` as the host writes it, up to and including the
/// empty line: every header but the response's own "Content-Length", then "X-Inkwarden-Launch",
/// the body's length and "Connection: close". The body (empty for a stream) follows it.
std::string responseHead(const mcp::HTTPResponse& response, std::string_view launchID);

}  // namespace inkwarden
