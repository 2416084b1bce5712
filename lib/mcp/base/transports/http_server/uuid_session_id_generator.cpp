#include "mcp/base/transports/http_server/uuid_session_id_generator.hpp"

#include "platform/uuid.hpp"

namespace mcp {

std::string UUIDSessionIDGenerator::generateSessionID() {
    return platform::makeUUIDString();
}

}  // namespace mcp
