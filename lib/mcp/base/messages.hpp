#pragma once

// The JSON-RPC envelopes and what method and notification types need to define themselves.
#include "mcp/base/empty.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/message.hpp"
#include "mcp/base/method.hpp"
#include "mcp/base/request.hpp"
#include "mcp/base/response.hpp"
#include "mcp/base/value.hpp"
