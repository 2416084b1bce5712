#include "mcp/base/unit_interval.hpp"

#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/text.hpp"

namespace mcp {

std::optional<UnitInterval> UnitInterval::make(double value) noexcept {
    if (!(value >= 0.0 && value <= 1.0)) return std::nullopt;
    return UnitInterval(Checked{}, value);
}

std::string UnitInterval::description() const {
    return platform::describeDouble(value_);
}

UnitInterval UnitInterval::fromJSON(const boost::json::value& json) {
    auto value = platform::json::decode<double>(json);
    if (auto interval = make(value)) return *interval;
    throw platform::json::DecodingError::dataCorrupted("Value " + platform::describeDouble(value) +
                                                       " is not in range 0...1");
}

}  // namespace mcp
