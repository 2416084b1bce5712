#pragma once

#include <string>

namespace mcp {

/// Makes the ids of new sessions for a session-based transport.
class SessionIDGenerator {
public:
    virtual ~SessionIDGenerator() = default;

    virtual std::string generateSessionID() = 0;
};

}  // namespace mcp
