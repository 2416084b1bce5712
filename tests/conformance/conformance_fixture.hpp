#pragma once

#include "mcp/server/server.hpp"

#include <memory>
#include <string_view>

namespace conformance {

/// A fresh server engine with every feature the conformance scenarios call on, registered.
std::shared_ptr<mcp::Server> makeConformanceServer();

/// The tools the scenarios call, by the names they call them.
void registerConformanceTools(mcp::Server& server);

/// The resources, resource templates, prompts and completions the scenarios read.
void registerConformanceFeatures(mcp::Server& server);

/// A 1x1 PNG as base64: the smallest image a client can decode.
inline constexpr std::string_view kFixturePNG =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==";

}  // namespace conformance
