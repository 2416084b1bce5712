#include "platform/text.hpp"

#include <charconv>
#include <cmath>

namespace platform {

namespace {

// The bounds of plain decimal notation; outside them digits go in exponent form.
constexpr double kExponentFrom = 9007199254740992.0;  // 2^53
constexpr double kExponentBelow = 1e-4;

}  // namespace

std::string describeDouble(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    double magnitude = std::fabs(value);
    bool exponent = magnitude >= kExponentFrom || (magnitude != 0 && magnitude < kExponentBelow);
    char buffer[64];
    auto format = exponent ? std::chars_format::scientific : std::chars_format::fixed;
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value, format).ptr;
    std::string text(buffer, end);
    if (!exponent && text.find('.') == std::string::npos) text += ".0";
    return text;
}

}  // namespace platform
