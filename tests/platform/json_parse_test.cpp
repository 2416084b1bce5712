#include "platform/json/parse.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include <boost/json.hpp>
#include <gtest/gtest.h>

#include "platform/json/decoding_error.hpp"

namespace {

using platform::json::DecodingError;
using platform::json::parse;

std::string nestedArrays(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(JsonParseTest, ReadsTopLevelValuesAndKeepsMemberOrder) {
    EXPECT_EQ(parse("3"), boost::json::value(3));
    EXPECT_EQ(parse(" \"x\" "), boost::json::value("x"));
    EXPECT_TRUE(parse("null").is_null());
    auto object = parse(R"({"b":1,"a":2,"b":3})").as_object();
    ASSERT_EQ(object.size(), 2u);
    EXPECT_EQ(object.begin()->key(), "b");
    EXPECT_EQ(object.at("b"), 3);
}

TEST(JsonParseTest, KeepsLargeIntegersExact) {
    auto value = parse("9223372036854775808");
    ASSERT_TRUE(value.is_uint64());
    EXPECT_EQ(value.get_uint64(), 9223372036854775808ULL);
    EXPECT_TRUE(parse("-9223372036854775808").is_int64());
}

TEST(JsonParseTest, ReadsDoublesCorrectlyRounded) {
    // Boost.JSON 1.81 on its own reads this one a unit in the last place low.
    EXPECT_EQ(parse("-2.8861655387583325e-80").get_double(), -2.8861655387583325e-80);
    EXPECT_EQ(parse("2.2250738585072011e-308").get_double(), 2.2250738585072011e-308);
    EXPECT_EQ(parse("1e-400").get_double(), 0.0);

    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d)) continue;
        char text[32];
        auto end = std::to_chars(text, text + sizeof text, d, std::chars_format::scientific).ptr;
        auto parsed = parse(std::string_view(text, static_cast<std::size_t>(end - text)));
        // A whole number in the signed 64-bit range reads as an integer, whatever its form.
        if (parsed.is_int64()) {
            ASSERT_EQ(static_cast<double>(parsed.get_int64()), d) << text;
            ASSERT_EQ(std::trunc(d), d) << text;
            continue;
        }
        ASSERT_TRUE(parsed.is_double()) << text;
        ASSERT_EQ(parsed.get_double(), d) << text;
    }
}

TEST(JsonParseTest, AcceptsNestingUpTo512) {
    EXPECT_NO_THROW(parse(nestedArrays(512)));
    EXPECT_NO_THROW(parse(std::string(511, '[') + "{\"a\":1}" + std::string(511, ']')));
    EXPECT_THROW(parse(nestedArrays(513)), DecodingError);
}

TEST(JsonParseTest, RefusesMalformedText) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"Empty", ""},
        {"Truncated", R"({"a":)"},
        {"TrailingComma", "[1,]"},
        {"Comment", "[1] // note"},
        {"TwoValues", "1 2"},
        {"InvalidUtf8", "\"\xff\""},
        {"OverlongUtf8", "\"\xc0\xaf\""},
        {"EncodedSurrogate", "\"\xed\xa0\x80\""},
        {"LoneSurrogateEscape", R"("\ud800")"},
        {"RawControlCharacter", "\"a\nb\""},
        {"SingleQuotes", "['a']"},
        {"NaN", "NaN"},
        {"BeyondDoubleRange", "[1e400]"},
        {"BelowDoubleRange", "-1e400"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parse(c.text);
            ADD_FAILURE() << "parsed";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind, DecodingError::Kind::dataCorrupted);
            EXPECT_STREQ(error.what(), "The given data was not valid JSON.");
            EXPECT_FALSE(error.underlying.empty());
        }
    }
}

}  // namespace
