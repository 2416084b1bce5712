#pragma once

#include <compare>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include <boost/json/value.hpp>

namespace mcp {

/// A number from 0 to 1, both ends included. Written in code as a constant (`UnitInterval x = 0.5;`),
/// which the compiler checks, or made at run time with `make`. Compares, sorts and hashes as its number.
class UnitInterval {
public:
    /// A constant in range; any other constant fails to compile.
    consteval UnitInterval(double value) : value_(value) {
        if (!(value >= 0.0 && value <= 1.0)) throw "UnitInterval constant out of range 0...1";
    }
    /// An integer constant: 0 or 1; any other fails to compile.
    consteval UnitInterval(int value) : value_(value) {
        if (value != 0 && value != 1) throw "UnitInterval constant out of range 0...1";
    }

    /// The interval holding `value`, or nothing when it lies outside 0...1 or is NaN.
    static std::optional<UnitInterval> make(double value) noexcept;

    double value() const noexcept { return value_; }

    /// The shortest text that reads back as the number, with ".0" on whole numbers ("0.5", "1.0").
    std::string description() const;

    /// A bare JSON number.
    boost::json::value toJSON() const { return value_; }
    /// Reads any number; throws DecodingError (dataCorrupted, "Value 1.5 is not in range 0...1")
    /// outside the range.
    static UnitInterval fromJSON(const boost::json::value& json);

    bool operator==(const UnitInterval& other) const noexcept { return value_ == other.value_; }
    std::partial_ordering operator<=>(const UnitInterval& other) const noexcept { return value_ <=> other.value_; }

private:
    struct Checked {};
    UnitInterval(Checked, double value) noexcept : value_(value) {}

    double value_;
};

}  // namespace mcp

template <>
struct std::hash<mcp::UnitInterval> {
    std::size_t operator()(const mcp::UnitInterval& interval) const noexcept {
        return std::hash<double>{}(interval.value());
    }
};
