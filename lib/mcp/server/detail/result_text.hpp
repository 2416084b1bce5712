#pragma once

#include <memory>

#include "mcp/server/list_tools.hpp"
#include "platform/json/text_writer.hpp"

namespace mcp::detail {

// The results the engine writes straight to text: what `Value::fromJSON(result.toJSON())` writes,
// keys in byte order, without building the JSON or the Value. Each throws the error that building
// them throws, for the same number.

void writeResultAsValue(platform::json::TextWriter& writer, const ListTools::Result& result);
/// As above, for a list that is shared and never changes.
void writeResultAsValue(platform::json::TextWriter& writer, const std::shared_ptr<const ListTools::Result>& result);

}  // namespace mcp::detail
