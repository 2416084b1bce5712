#include "mcp/base/detail/value_text.hpp"

#include "platform/json/encoding_error.hpp"
#include "platform/json/write.hpp"
#include "random_value_documents.hpp"

#include <boost/json.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace mcp {
namespace {

using test::randomDocuments;

using boost::json::array;
using boost::json::object;

template <class Write>
std::string written(bool escapeSlashes, Write write) {
    std::string out;
    platform::json::TextWriter writer(out, escapeSlashes);
    write(writer);
    writer.finish();
    return out;
}

/// What the Value read from `json` writes through a DOM, the way the shortcut must match.
std::string throughValue(const boost::json::value& json, bool escapeSlashes) {
    return platform::json::write(Value::fromJSON(json).toJSON(), {.escapeSlashes = escapeSlashes});
}

std::string asValue(const boost::json::value& json, bool escapeSlashes) {
    return written(escapeSlashes, [&](auto& writer) { detail::writeAsValue(writer, json); });
}

std::string value(const Value& value, bool escapeSlashes) {
    return written(escapeSlashes, [&](auto& writer) { detail::writeValue(writer, value); });
}

std::string reread(const Value& value, bool escapeSlashes) {
    return written(escapeSlashes, [&](auto& writer) { detail::writeAsValue(writer, value); });
}

/// The message of what `f` throws; empty when it throws nothing.
template <class F>
std::string thrown(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// Each row holds something the reading changes: the shortcut must change it alike.
TEST(ValueTextTest, WritesJSONAsTheValueReadFromItWrites) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        boost::json::value json;
        std::string expected;
    };
    const Case cases[] = {
        {"WholeDoubleIsInteger", 3.0, "3"},
        {"LargeWholeDoubleIsInteger", 1e18, "1000000000000000000"},
        {"NegativeZeroIsZero", -0.0, "0"},
        {"TwoToThe63StaysDouble", 9223372036854775808.0, "9223372036854775808"},
        {"LargerWholeDoubleStaysDouble", 1e20, "1e+20"},
        {"HugeUnsignedIsDouble", std::numeric_limits<std::uint64_t>::max(), "18446744073709551616"},
        {"SmallUnsignedIsInteger", std::uint64_t{7}, "7"},
        {"Fraction", 0.5, "0.5"},
        {"PercentDataURLBecomesBase64", "data:,a/b", R"("data:text/plain;base64,YS9i")"},
        {"CharsetKept", "data:text/plain;charset=utf-8,hi", R"("data:text/plain;charset=utf-8;base64,aGk=")"},
        {"Base64DataURLKept", "data:image/png;base64,aGk=", R"("data:image/png;base64,aGk=")"},
        {"BrokenDataURLIsText", "data:,%zz", R"("data:,%zz")"},
        {"NotADataURL", "data:nothing", R"("data:nothing")"},
        {"KeysSortedAtEveryLevel",
         object{{"b", array{object{{"z", 1}, {"\xc3\xa9", 2}, {"Z", 3}}}}, {"a", object{}}, {"", nullptr}},
         "{\"\":null,\"a\":{},\"b\":[{\"Z\":3,\"z\":1,\"\xc3\xa9\":2}]}"},
        {"Scalars", array{true, false, nullptr, -4, "a/\n"}, R"([true,false,null,-4,"a/\n"])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(asValue(c.json, false), c.expected);
        for (bool slash : {true, false}) EXPECT_EQ(asValue(c.json, slash), throughValue(c.json, slash));
    }
    // The reading refuses the first non-finite number in document order; key order must not change
    // which one is reported.
    const boost::json::value refused[] = {
        object{{"b", std::nan("")}, {"a", inf}},
        object{{"b", array{-inf}}, {"a", object{{"c", std::nan("")}}}},
    };
    for (const auto& json : refused) {
        auto expected = thrown([&] { (void)Value::fromJSON(json); });
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(thrown([&] { (void)asValue(json, false); }), expected);
    }
}

TEST(ValueTextTest, WritesAValueAsItsJSONWrites) {
    const Value values[] = {
        Value(),
        Value(3.0),
        Value(-0.0),
        Value(1e300),
        Value(std::numeric_limits<std::int64_t>::min()),
        Value("data:,stays text"),
        Value::data(std::nullopt, "a/b"),
        Value::data("image/png", std::string("\0\xff", 2)),
        Value::object({{"b", Value::array({1, "x", Value::object({})})}, {"a", Value::array({})}, {"B", true}}),
    };
    for (const auto& v : values) {
        for (bool slash : {true, false}) {
            auto expected = platform::json::write(v.toJSON(), {.escapeSlashes = slash});
            SCOPED_TRACE(expected);
            EXPECT_EQ(value(v, slash), expected);
        }
    }
    // In key order, as toJSON meets them: "a" (infinity) before "b" (NaN).
    Value refused = Value::object({{"b", std::nan("")}, {"a", Value::array({-std::numeric_limits<double>::infinity()})}});
    auto expected = thrown([&] { (void)refused.toJSON(); });
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(thrown([&] { (void)value(refused, false); }), expected);
}

// A Value read back from its own JSON changes too: the shortcut must change it alike.
TEST(ValueTextTest, WritesAValueAsTheValueReadBackFromItsJSONWrites) {
    struct Case {
        const char* name;
        Value value;
        std::string expected;
    };
    const Case cases[] = {
        {"WholeDoubleIsInteger", Value(3.0), "3"},
        {"LargeWholeDoubleIsInteger", Value(1e18), "1000000000000000000"},
        {"NegativeZeroIsZero", Value(-0.0), "0"},
        {"FractionStays", Value(2.5), "2.5"},
        {"DataURLTextRewritten", Value("data:,a/b"), R"("data:text/plain;base64,YS9i")"},
        {"DataWithoutTypeReadsAsText", Value::data(std::nullopt, "x"), R"("data:text/plain;base64,eA==")"},
        {"DataWithCharset", Value::data("text/plain;charset=utf-8", "hi"), R"("data:text/plain;charset=utf-8;base64,aGk=")"},
        {"DataWithUnreadableType", Value::data("a,b", "hi"), R"("data:a,b;base64,aGk=")"},
        {"Nested", Value::object({{"b", Value::array({1.0, "data:,"})}, {"a", Value()}}),
         R"({"a":null,"b":[1,"data:text/plain;base64,"]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reread(c.value, false), c.expected);
        for (bool slash : {true, false}) {
            EXPECT_EQ(reread(c.value, slash), throughValue(c.value.toJSON(), slash));
        }
    }
    Value refused = Value::object({{"b", std::nan("")}, {"a", Value::array({-std::numeric_limits<double>::infinity()})}});
    auto expected = thrown([&] { (void)refused.toJSON(); });
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(thrown([&] { (void)reread(refused, false); }), expected);
}

TEST(ValueTextTest, RandomDocumentsComeOutAsThroughTheValue) {
    auto documents = randomDocuments(1105);
    for (int i = 0; i < 500; ++i) {
        auto document = documents.make(4);
        for (bool slash : {true, false}) {
            auto expected = throughValue(document, slash);
            SCOPED_TRACE(expected);
            ASSERT_EQ(asValue(document, slash), expected);
            auto read = Value::fromJSON(document);
            ASSERT_EQ(value(read, slash), expected);
            ASSERT_EQ(reread(read, slash), throughValue(read.toJSON(), slash));
        }
    }
}

}  // namespace
}  // namespace mcp
