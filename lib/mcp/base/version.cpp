#include "mcp/base/version.hpp"

#include <algorithm>

namespace mcp {

const std::set<std::string, std::less<>>& Version::supported() {
    static const std::set<std::string, std::less<>> versions{"2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05"};
    return versions;
}

const std::string& Version::latest() {
    // Derived, not written down: a newer date added to the set moves it.
    static const std::string newest = std::ranges::max(supported());
    return newest;
}

std::string Version::negotiated(std::string_view requested) {
    if (supported().contains(requested)) return std::string(requested);
    return latest();
}

}  // namespace mcp
