#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace mcp {

/// The protocol versions this library speaks.
struct Version {
    Version() = delete;

    /// "2025-11-25", "2025-06-18", "2025-03-26" and "2024-11-05"; only membership matters.
    static const std::set<std::string, std::less<>>& supported();

    /// The greatest supported version by plain string order: the newest date.
    static const std::string& latest();

    /// What a server answers a client asking for `requested`: that version when it is supported
    /// (exact text), `latest()` otherwise.
    static std::string negotiated(std::string_view requested);
};

}  // namespace mcp
