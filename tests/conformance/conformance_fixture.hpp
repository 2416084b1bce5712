#pragma once

#include "mcp/server/server.hpp"

#include <memory>

namespace conformance {

/// A fresh server engine with every feature the conformance scenarios call on, registered.
std::shared_ptr<mcp::Server> makeConformanceServer();

/// The tools the scenarios call, by the names they call them.
void registerConformanceTools(mcp::Server& server);

}  // namespace conformance
