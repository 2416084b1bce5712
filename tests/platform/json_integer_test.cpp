#include "platform/json/integer.hpp"

#include <cmath>
#include <limits>

#include <boost/json.hpp>
#include <gtest/gtest.h>

namespace {

using platform::json::asInteger;

TEST(JsonIntegerTest, ReadsIntegralNumbersWithinSigned64Bits) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* name;
        boost::json::value input;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"Int", 3, 3},
        {"WholeDouble", 3.0, 3},
        {"NegativeZero", -0.0, 0},
        {"Fraction", 3.5, std::nullopt},
        {"TinyFraction", 1e-300, std::nullopt},
        {"Max", kMax, kMax},
        {"MaxAsUnsigned", static_cast<std::uint64_t>(kMax), kMax},
        {"TwoTo63AsUnsigned", std::uint64_t{1} << 63, std::nullopt},
        {"TwoTo63AsDouble", 9223372036854775808.0, std::nullopt},
        {"LargestDoubleBelowTwoTo63", 9223372036854774784.0, 9223372036854774784},
        {"Min", kMin, kMin},
        // The parser makes every integer in range an int64; a double -2^63 stands for the numbers
        // below the range that round to it, such as -9223372036854775809.
        {"MinAsDouble", -9223372036854775808.0, std::nullopt},
        {"DoubleBelowMin", std::nextafter(-9223372036854775808.0, -INFINITY), std::nullopt},
        {"Huge", 1e300, std::nullopt},
        {"NaN", std::nan(""), std::nullopt},
        {"Infinity", INFINITY, std::nullopt},
        {"String", "3", std::nullopt},
        {"Bool", true, std::nullopt},
        {"Null", nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(asInteger(c.input), c.expected);
    }
}

}  // namespace
