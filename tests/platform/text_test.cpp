#include "platform/text.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(TextTest, DescribesDoubles) {
    struct Case {
        double input;
        const char* expected;
    };
    const Case cases[] = {
        {1.0, "1.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {0.1, "0.1"},
        {3.14, "3.14"},
        {-2.5, "-2.5"},
        {100.0, "100.0"},
        {0.30000000000000004, "0.30000000000000004"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {-0.000015, "-1.5e-05"},
        {1e15, "1000000000000000.0"},
        {9007199254740991.0, "9007199254740991.0"},
        {9007199254740992.0, "9.007199254740992e+15"},
        {1e16, "1e+16"},
        {-1e16, "-1e+16"},
        {1e300, "1e+300"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {std::nan(""), "nan"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(platform::describeDouble(c.input), c.expected);
    }
}

}  // namespace
