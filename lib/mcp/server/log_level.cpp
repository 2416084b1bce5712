#include "mcp/server/log_level.hpp"

#include <string>

#include "platform/json/codec.hpp"

namespace mcp {

namespace {

constexpr std::array<std::string_view, 8> kTexts{"debug", "info",     "notice", "warning",
                                                 "error", "critical", "alert",  "emergency"};

}  // namespace

std::string_view rawValue(LogLevel level) noexcept {
    return kTexts[static_cast<std::size_t>(level)];
}

std::optional<LogLevel> logLevelFromRawValue(std::string_view text) noexcept {
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        if (kTexts[i] == text) return allLogLevels[i];
    }
    return std::nullopt;
}

LogLevel decodeLogLevel(const boost::json::value& value) {
    auto text = platform::json::decode<std::string>(value);
    if (auto level = logLevelFromRawValue(text)) return *level;
    throw platform::json::DecodingError::dataCorrupted("Cannot initialize LogLevel from invalid String value " + text);
}

LogLevel decodeLogLevel(const boost::json::object& object, std::string_view key) {
    auto member = platform::json::required<boost::json::value>(object, key);
    return platform::json::detail::atPath(key, [&] { return decodeLogLevel(member); });
}

boost::json::value encodeLogLevel(LogLevel level) {
    auto text = rawValue(level);
    return boost::json::value(boost::json::string_view(text.data(), text.size()));
}

}  // namespace mcp
