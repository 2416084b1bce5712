#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

namespace mcp {

/// The protocol's eight log severities, least to most severe. Levels compare for equality only;
/// they are unrelated to the logging facade's levels.
enum class LogLevel { debug, info, notice, warning, error, critical, alert, emergency };

/// Every level, from `debug` to `emergency`.
inline constexpr std::array<LogLevel, 8> allLogLevels{
    LogLevel::debug, LogLevel::info,     LogLevel::notice, LogLevel::warning,
    LogLevel::error, LogLevel::critical, LogLevel::alert,  LogLevel::emergency};

/// The wire text of `level` ("debug" ... "emergency").
std::string_view rawValue(LogLevel level) noexcept;

/// The level whose wire text is exactly `text` (case-sensitive), or nothing.
std::optional<LogLevel> logLevelFromRawValue(std::string_view text) noexcept;

/// The level written as JSON text. Throws DecodingError: typeMismatch (or valueNotFound for null)
/// for anything but a string, dataCorrupted for a text that names no level.
LogLevel decodeLogLevel(const boost::json::value& value);

/// The required member `key` of `object` read as a level, with `key` in the error's coding path.
LogLevel decodeLogLevel(const boost::json::object& object, std::string_view key);

boost::json::value encodeLogLevel(LogLevel level);

}  // namespace mcp
