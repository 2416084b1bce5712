#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>

namespace logging {

/// The severity of a log event, from least to most severe; levels compare by severity.
/// Spelled `Logger::Level` at call sites.
enum class Level : std::uint8_t { trace, debug, info, notice, warning, error, critical };

/// Every level, least severe first.
inline constexpr std::array<Level, 7> allLevels{Level::trace,   Level::debug, Level::info,    Level::notice,
                                                Level::warning, Level::error, Level::critical};

/// The level's name in lower case ("trace" ... "critical"): its raw value, text and serialised form.
std::string_view rawValue(Level level) noexcept;

/// The level named exactly `name` (case-sensitive); nothing for any other text.
std::optional<Level> levelFromRawValue(std::string_view name) noexcept;

/// The level named by `text` in any case ("NOTICE" gives notice); nothing for other text.
std::optional<Level> levelFromDescription(std::string_view text) noexcept;

std::ostream& operator<<(std::ostream& out, Level level);

}  // namespace logging
