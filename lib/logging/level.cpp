#include "logging/level.hpp"

#include <string>

namespace logging {

namespace {
constexpr std::array<std::string_view, 7> kNames{"trace", "debug", "info", "notice", "warning", "error", "critical"};
}  // namespace

std::string_view rawValue(Level level) noexcept { return kNames[static_cast<std::size_t>(level)]; }

std::optional<Level> levelFromRawValue(std::string_view name) noexcept {
    for (Level level : allLevels) {
        if (rawValue(level) == name) return level;
    }
    return std::nullopt;
}

std::optional<Level> levelFromDescription(std::string_view text) noexcept {
    // No level name is longer than this, so longer text cannot match.
    constexpr std::size_t kLongest = 8;
    if (text.size() > kLongest) return std::nullopt;
    char lowered[kLongest];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        lowered[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return levelFromRawValue(std::string_view(lowered, text.size()));
}

std::ostream& operator<<(std::ostream& out, Level level) { return out << rawValue(level); }

}  // namespace logging
