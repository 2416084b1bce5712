#include "mcp/base/icon.hpp"

#include "mcp/base/unit_interval.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace mcp {
namespace {

using platform::json::DecodingError;

std::string write(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

TEST(IconTest, WritesPresentMembersInOrder) {
    EXPECT_EQ(write(Icon{.src = "a.png"}.toJSON()), R"({"src":"a.png"})");
    Icon full{"https://x/a.png", "image/png", std::vector<std::string>{"48x48", "any"}, Icon::Theme::dark};
    EXPECT_EQ(write(full.toJSON()),
              R"({"src":"https://x/a.png","mimeType":"image/png","sizes":["48x48","any"],"theme":"dark"})");
    EXPECT_EQ(Icon::fromJSON(full.toJSON()), full);
}

TEST(IconTest, Decodes) {
    struct Case {
        const char* name;
        std::string_view json;
        std::optional<Icon> expected;  // nothing: the decoding fails
    };
    const std::vector<Case> cases = {
        {"NullMembersAreAbsent", R"({"src":"a","mimeType":null,"sizes":null,"theme":null})", Icon{.src = "a"}},
        {"Light", R"({"src":"a","theme":"light"})", Icon{"a", std::nullopt, std::nullopt, Icon::Theme::light}},
        {"CapitalisedTheme", R"({"src":"a","theme":"Dark"})", std::nullopt},
        {"MissingSrc", R"({"mimeType":"image/png"})", std::nullopt},
        {"NumericSizes", R"({"src":"a","sizes":[48]})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.expected) {
            EXPECT_EQ(Icon::fromJSON(platform::json::parse(c.json)), *c.expected);
        } else {
            EXPECT_THROW(Icon::fromJSON(platform::json::parse(c.json)), DecodingError);
        }
    }
    EXPECT_EQ(Icon::themeFromRawValue("dark"), Icon::Theme::dark);
    EXPECT_EQ(Icon::themeFromRawValue("Dark"), std::nullopt);
}

TEST(UnitIntervalTest, TakesOnlyNumbersFromZeroToOne) {
    struct Case {
        double value;
        bool valid;
    };
    const std::vector<Case> cases = {
        {0.0, true}, {1.0, true}, {0.5, true}, {-0.0, true}, {1.0000001, false}, {-0.0001, false}, {std::nan(""), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(UnitInterval::make(c.value).has_value(), c.valid);
    }
    EXPECT_EQ(*UnitInterval::make(-0.0), UnitInterval(0));
}

TEST(UnitIntervalTest, DecodesInRangeNumbersAndNamesTheOthers) {
    struct Case {
        std::string_view json;
        std::string outcome;
    };
    const std::vector<Case> cases = {
        {"0", "0.0"},
        {"1", "1.0"},
        {"0.25", "0.25"},
        {"2", "Value 2.0 is not in range 0...1"},
        {"1.5", "Value 1.5 is not in range 0...1"},
        {"-0.0001", "Value -0.0001 is not in range 0...1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        std::string outcome;
        try {
            outcome = UnitInterval::fromJSON(platform::json::parse(c.json)).description();
        } catch (const DecodingError& e) {
            EXPECT_EQ(e.kind, DecodingError::Kind::dataCorrupted);
            outcome = e.description;
        }
        EXPECT_EQ(outcome, c.outcome);
    }
    EXPECT_THROW(UnitInterval::fromJSON(platform::json::parse(R"("0.5")")), DecodingError);
    EXPECT_EQ(write(UnitInterval(0.5).toJSON()), "0.5");
}

TEST(UnitIntervalTest, SortsAndHashesAsItsNumber) {
    std::vector<UnitInterval> intervals{UnitInterval(0.75), UnitInterval(0), UnitInterval(0.5)};
    std::sort(intervals.begin(), intervals.end());
    EXPECT_EQ(intervals, (std::vector<UnitInterval>{UnitInterval(0), UnitInterval(0.5), UnitInterval(0.75)}));
    EXPECT_LT(UnitInterval(0.1), UnitInterval(0.2));
    EXPECT_EQ(std::hash<UnitInterval>{}(*UnitInterval::make(-0.0)), std::hash<UnitInterval>{}(UnitInterval(0.0)));
}

}  // namespace
}  // namespace mcp
