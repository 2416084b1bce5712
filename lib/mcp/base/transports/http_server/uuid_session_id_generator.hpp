#pragma once

#include <string>

#include "mcp/base/transports/http_server/session_id_generator.hpp"

namespace mcp {

/// Session ids that are fresh random UUIDs: 36 characters, upper-case hexadecimal digits in groups
/// of 8-4-4-4-12 joined by hyphens. Safe to call from any thread.
class UUIDSessionIDGenerator final : public SessionIDGenerator {
public:
    std::string generateSessionID() override;
};

}  // namespace mcp
