#include "mcp/base/value.hpp"

#include "mcp/base/data_url.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/value_conversion.hpp"
#include "platform/json/encoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace mcp {
namespace {

Value decode(std::string_view text) {
    return Value::fromJSON(platform::json::parse(text));
}

std::string encode(const Value& value) {
    return platform::json::write(value.toJSON(), {.escapeSlashes = false});
}

TEST(ValueTest, DecodesEachKindOfJSON) {
    struct Case {
        const char* name;
        std::string_view json;
        Value expected;
    };
    const std::vector<Case> cases = {
        {"Null", "null", Value()},
        {"Bool", "true", Value(true)},
        {"Integer", "3", Value(3)},
        {"Fraction", "3.5", Value(3.5)},
        {"WholeDoubleIsInt", "3.0", Value(3)},
        {"ExponentIsInt", "1e2", Value(100)},
        {"LargestInt", "9223372036854775807", Value(std::numeric_limits<std::int64_t>::max())},
        {"PastLargestIntIsDouble", "9223372036854775808", Value(9223372036854775808.0)},
        {"String", R"("hello")", Value("hello")},
        {"Array", R"([1, "a", null])", Value::array({1, "a", nullptr})},
        {"Object", R"({"a": {"b": [true]}})", Value::object({{"a", Value::object({{"b", Value::array({true})}})}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.json), c.expected);
    }
}

TEST(ValueTest, DecodesWellFormedDataURLsAsData) {
    struct Case {
        const char* name;
        std::string_view text;
        std::string mimeType;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"EmptyMimePart", "data:,hello", "text/plain", "hello"},
        {"PercentEscapes", "data:text/plain;charset=utf-8,hi%20there", "text/plain;charset=utf-8", "hi there"},
        {"PlusStaysPlus", "data:,a+b", "text/plain", "a+b"},
        {"Base64", "data:image/png;base64,aGk=", "image/png", "hi"},
        {"CharsetDroppedForNonText", "data:image/png;charset=utf-8;base64,aGk=", "image/png", "hi"},
        {"CharsetKeptForDefaultText", "data:;charset=utf-8;base64,aGk=", "text/plain;charset=utf-8", "hi"},
        {"EmptyPayload", "data:,", "text/plain", ""},
        {"MultiByteEscapes", "data:,%C3%A9", "text/plain", "\xC3\xA9"},
        {"LineBreakInPayload", "data:,a\nb", "text/plain", "a\nb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boost::json::value json = boost::json::string(c.text);
        EXPECT_EQ(Value::fromJSON(json), Value::data(c.mimeType, c.bytes));
    }
}

TEST(ValueTest, KeepsTextThatIsNoUsableDataURLAsString) {
    struct Case {
        const char* name;
        std::string_view text;
        bool matchesGrammar;
    };
    const std::vector<Case> cases = {
        {"PlainText", "hello", false},
        {"OtherParameter", "data:text/plain;name=x,hi", false},
        {"UpperCaseScheme", "DATA:,hi", false},
        {"NoComma", "data:text/plain", false},
        {"EmptyCharset", "data:text/plain;charset=,hi", false},
        {"Base64BeforeCharset", "data:;base64;charset=utf-8,aGk=", false},
        {"MalformedEscape", "data:,100%", true},
        {"NonHexEscape", "data:,%zz", true},
        {"InvalidUTF8Escape", "data:,%C3%28", true},
        {"BlankInBase64", "data:;base64,aG k=", true},
        {"UnpaddedBase64", "data:;base64,aGk", true},
        {"Base64MarkerInPlainPayload", "data:,a;base64,b", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isDataURL(c.text), c.matchesGrammar);
        EXPECT_EQ(parseDataURL(c.text), std::nullopt);
        boost::json::value json = boost::json::string(c.text);
        EXPECT_EQ(Value::fromJSON(json), Value(std::string(c.text)));
    }
}

TEST(ValueTest, EncodesDataAsBase64DataURL) {
    EXPECT_EQ(encode(Value::data(std::nullopt, "hello")), R"("data:text/plain;base64,aGVsbG8=")");
    EXPECT_EQ(encode(Value::data("image/png", std::string("\x00\xff", 2))), R"("data:image/png;base64,AP8=")");
    EXPECT_EQ(dataURLEncoded("", std::nullopt), "data:text/plain;base64,");
}

TEST(ValueTest, DataRoundTripFillsInTheMimeType) {
    Value original = Value::data(std::nullopt, "hello");
    Value back = decode(encode(original));
    EXPECT_EQ(back, Value::data("text/plain", "hello"));
    EXPECT_NE(back, original);
}

TEST(ValueTest, DataWithAnotherMimeParameterComesBackAsString) {
    Value original = Value::data("text/plain;name=a", "hi");
    Value back = decode(encode(original));
    EXPECT_EQ(back, Value("data:text/plain;name=a;base64,aGk="));
}

TEST(ValueTest, EncodesEveryKind) {
    Value value = Value::object({
        {"n", nullptr},
        {"b", false},
        {"i", -7},
        {"d", 0.5},
        {"s", "a/b"},
        {"a", Value::array({1, Value::array({})})},
        {"o", Value::object({})},
    });
    // Objects are written in key order.
    EXPECT_EQ(encode(value), R"({"a":[1,[]],"b":false,"d":0.5,"i":-7,"n":null,"o":{},"s":"a/b"})");
}

TEST(ValueTest, RefusesToEncodeNonFiniteDoubles) {
    EXPECT_THROW(Value(std::nan("")).toJSON(), platform::json::EncodingError);
    EXPECT_THROW(Value::array({std::numeric_limits<double>::infinity()}).toJSON(), platform::json::EncodingError);
}

TEST(ValueTest, ComparesAndHashesByCaseAndPayload) {
    struct Case {
        const char* name;
        Value a;
        Value b;
        bool equal;
    };
    const double nan = std::nan("");
    const std::vector<Case> cases = {
        {"IntIsNotDouble", Value(1), Value(1.0), false},
        {"NegativeZero", Value(0.0), Value(-0.0), true},
        {"NaN", Value(nan), Value(nan), false},
        {"NaNInsideArray", Value::array({nan}), Value::array({nan}), false},
        {"StringIsNotData", Value("data:,x"), Value::data("text/plain", "x"), false},
        {"AbsentMimeIsNotTextPlain", Value::data(std::nullopt, "x"), Value::data("text/plain", "x"), false},
        {"SameData", Value::data("a/b", "x"), Value::data("a/b", "x"), true},
        {"ArrayOrderMatters", Value::array({1, 2}), Value::array({2, 1}), false},
        {"ObjectsAsMaps", decode(R"({"a":1,"b":[null]})"), decode(R"({"b":[null],"a":1})"), true},
        {"ObjectValuesDiffer", Value::object({{"a", 1}}), Value::object({{"a", 1.5}}), false},
        {"NullIsNotEmptyString", Value(), Value(""), false},
        {"BoolIsNotInt", Value(true), Value(1), false},
    };
    std::hash<Value> hash;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a == c.b, c.equal);
        if (c.equal) {
            EXPECT_EQ(hash(c.a), hash(c.b));
        }
    }
    EXPECT_NE(hash(Value(1)), hash(Value(1.0)));
}

TEST(ValueTest, KeepsTheLaterValueOfARepeatedKey) {
    Value value = Value::object({{"a", 1}, {"a", 2}});
    ASSERT_NE(value.objectValue(), nullptr);
    EXPECT_EQ(value.objectValue()->size(), 1u);
    EXPECT_EQ(value.objectValue()->at("a"), Value(2));
}

TEST(ValueTest, AccessorsNeverConvertBetweenCases) {
    EXPECT_EQ(Value(3).doubleValue(), std::nullopt);
    EXPECT_EQ(Value(3.0).intValue(), std::nullopt);
    EXPECT_EQ(Value::data("a/b", "x").stringValue(), std::nullopt);
    EXPECT_EQ(Value('x'), Value("x"));
    EXPECT_TRUE(Value().isNull());
    EXPECT_FALSE(Value(false).isNull());
}

TEST(ValueTest, CopiesShareTheirContents) {
    Value original = Value::array({Value(std::string(1000, 'x'))});
    Value copy = original;
    EXPECT_EQ(copy.arrayValue()->data(), original.arrayValue()->data());
}

// Strings up to kInlineStringSize bytes live in the value, longer ones in a block: both sides of
// the boundary read back, compare and hash by their bytes alone, embedded NULs included.
TEST(ValueTest, StringsReadBackWholeOnBothSidesOfTheInlineLimit) {
    constexpr std::size_t limit = Value::kInlineStringSize;
    const std::size_t sizes[] = {0, 1, limit - 1, limit, limit + 1, limit + 2, 1000};
    for (std::size_t size : sizes) {
        for (bool nuls : {false, true}) {
            SCOPED_TRACE(testing::Message() << size << (nuls ? " with NULs" : ""));
            std::string text(size, 'a');
            for (std::size_t i = 0; i < size; ++i) {
                text[i] = nuls && i % 3 == 0 ? '\0' : static_cast<char>('a' + i % 26);
            }
            Value value(text);
            ASSERT_TRUE(value.stringValue());
            EXPECT_EQ(*value.stringValue(), text);
            EXPECT_EQ(value.description(), text);
            Value copy = value;
            EXPECT_EQ(copy, value);
            Value readBack = Value::fromJSONText(platform::json::write(value.toJSON()));
            EXPECT_EQ(readBack, value);
            EXPECT_EQ(std::hash<Value>()(readBack), std::hash<Value>()(value));
            if (size == 0) continue;
            std::string lastChanged = text;
            lastChanged.back() ^= 1;
            EXPECT_NE(Value(lastChanged), value);
            // One byte shorter or longer crosses the limit at its edges.
            EXPECT_NE(Value(std::string_view(text).substr(0, size - 1)), value);
            EXPECT_NE(Value(text + '\0'), value);
        }
    }
}

// Every way of making a string gives the same value, whichever side of the limit it lands on.
TEST(ValueTest, StringsMadeEveryWayAreEqualAndHashAlike) {
    for (std::string text : {std::string("x"), std::string(Value::kInlineStringSize, 'y'),
                             std::string(Value::kInlineStringSize + 1, 'z')}) {
        SCOPED_TRACE(text);
        Value::StringInterpolation interpolation;
        interpolation.appendLiteral(text);
        const std::string json = '"' + text + '"';
        const Value ways[] = {Value(text), Value(std::string_view(text)), Value(text.c_str()),
                              Value(std::move(interpolation)), Value::fromJSONText(json), decode(json)};
        for (const auto& way : ways) {
            EXPECT_EQ(way, ways[0]);
            EXPECT_EQ(std::hash<Value>()(way), std::hash<Value>()(ways[0]));
        }
    }
}

TEST(ValueTest, LargeArraysKeepEveryElementInOrder) {
    Value::Array elements;
    for (int i = 0; i < 100000; ++i) {
        elements.emplace_back(i % 7 == 0 ? Value(std::to_string(i) + " long enough text") : Value(i));
    }
    Value array(elements);
    ASSERT_TRUE(array.arrayValue());
    ASSERT_EQ(array.arrayValue()->size(), elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) ASSERT_EQ((*array.arrayValue())[i], elements[i]) << i;
    EXPECT_EQ(array, Value::fromJSONText(platform::json::write(array.toJSON())));
    elements.back() = Value(-1);
    EXPECT_NE(array, Value(elements));
}

// Assignment takes the other payload and lets go of the old one (the sanitizers see a leak or a
// double release).
TEST(ValueTest, AssignmentReplacesEveryKindOfPayload) {
    const Value kinds[] = {Value(), Value(true), Value(7), Value(2.5), Value("short"),
                           Value(std::string(40, 'l')), Value::data("a/b", "bytes"), Value::array({1, "two"}),
                           Value(Value::Array{}), Value::object({{"k", std::string(20, 'v')}}), Value::object({})};
    for (const auto& from : kinds) {
        for (const auto& to : kinds) {
            Value value = from;
            value = to;
            EXPECT_EQ(value.description(), to.description());
            Value moved = from;
            value = std::move(moved);
            EXPECT_EQ(value.description(), from.description());
            const Value& self = value;
            value = self;
            EXPECT_EQ(value.description(), from.description());
        }
    }
}

// Copies of one value made and dropped on several threads at once share its blocks safely (the
// thread sanitizer or a freed block shows a fault here).
TEST(ValueTest, CopiesAreMadeAndDroppedOnManyThreads) {
    const Value shared = Value::object({{"list", Value::array({std::string(100, 'x'), Value::data("a/b", "y")})},
                                        {"text", std::string(50, 't')}});
    const auto description = shared.description();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            std::vector<Value> copies;
            for (int i = 0; i < 2000; ++i) {
                copies.push_back(shared);
                copies.push_back(shared.objectValue()->at("list"));
                copies.push_back((*copies.back().arrayValue())[0]);
                if (copies.size() > 30) copies.clear();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(shared.description(), description);
}

TEST(ValueTest, DescribesEachKind) {
    struct Case {
        const char* name;
        Value value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"Null", Value(), ""},
        {"Bool", Value(false), "false"},
        {"NegativeInt", Value(-3), "-3"},
        {"WholeDouble", Value(1.0), "1.0"},
        {"Fraction", Value(0.1), "0.1"},
        {"NaN", Value(std::nan("")), "nan"},
        {"NegativeInfinity", Value(-std::numeric_limits<double>::infinity()), "-inf"},
        {"String", Value("abc"), "abc"},
        {"Data", Value::data(std::nullopt, "hi"), "data:text/plain;base64,aGk="},
        {"EmptyArray", Value::array({}), "[]"},
        {"Array", Value::array({1, "a", nullptr}), "[1, a, ]"},
        {"EmptyObject", Value::object({}), "[:]"},
        {"Object", Value::object({{"k", Value::array({2.5})}, {"a\"b", true}}), R"(["a\"b": true, "k": [2.5]])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.description(), c.text);
    }
}

TEST(ValueTest, BuildsFromEncodableValuesThroughJSON) {
    EXPECT_EQ(Value::from(std::vector<double>{1.0, 2.5}), Value::array({1, 2.5}));
    EXPECT_EQ(Value::from(std::string("data:,x")), Value::data("text/plain", "x"));
    EXPECT_EQ(Value::from(ID("a")), Value("a"));
    // A Value itself comes back unchanged, not normalised through JSON.
    Value data = Value::data(std::nullopt, "x");
    EXPECT_EQ(Value::from(data), data);
}

TEST(ValueTest, InterpolatesPiecesByTheirTextForm) {
    Value::StringInterpolation interpolation(16);
    interpolation.appendLiteral("id ");
    interpolation.appendInterpolation(ID(7));
    interpolation.appendLiteral(" of ");
    interpolation.appendInterpolation(Value::array({1.0}));
    interpolation.appendLiteral(", ");
    interpolation.appendInterpolation(2.0);
    interpolation.appendInterpolation(true);
    EXPECT_EQ(Value(std::move(interpolation)), Value("id 7 of [1.0], 2.0true"));
}

// Absent in a column is std::nullopt: the conversion gives no value.
struct ConversionCase {
    const char* name;
    Value value;
    std::optional<bool> asBool;
    std::optional<std::int64_t> asInt;
    std::optional<double> asDouble;
    std::optional<std::string> asString;
};

void expectConversions(const std::vector<ConversionCase>& cases, bool strict) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toBool(c.value, strict), c.asBool);
        EXPECT_EQ(toInt(c.value, strict), c.asInt);
        EXPECT_EQ(toDouble(c.value, strict), c.asDouble);
        EXPECT_EQ(toString(c.value, strict), c.asString);
    }
}

constexpr auto none = std::nullopt;
constexpr std::int64_t kMinInt = std::numeric_limits<std::int64_t>::min();

TEST(ValueTest, StrictConversionsTakeOnlyTheirOwnCase) {
    expectConversions(
        {
            {"Bool", Value(true), true, none, none, none},
            {"Int", Value(3), none, 3, 3.0, none},
            {"Double", Value(1.0), none, none, 1.0, none},
            {"String", Value("1"), none, none, none, "1"},
            {"Null", Value(), none, none, none, none},
            {"Data", Value::data("a/b", "1"), none, none, none, none},
        },
        true);
}

TEST(ValueTest, LenientConversionsReadAcrossCases) {
    expectConversions(
        {
            {"True", Value(true), true, none, none, "true"},
            {"IntZero", Value(0), false, 0, 0.0, "0"},
            {"IntOne", Value(1), true, 1, 1.0, "1"},
            {"IntTwo", Value(2), none, 2, 2.0, "2"},
            {"NegativeInt", Value(-5), none, -5, -5.0, "-5"},
            {"WholeDouble", Value(1.0), true, 1, 1.0, "1.0"},
            {"NegativeZero", Value(-0.0), false, 0, -0.0, "-0.0"},
            {"Fraction", Value(4.5), none, none, 4.5, "4.5"},
            {"SmallestIntAsDouble", Value(-9223372036854775808.0), none, kMinInt, -9223372036854775808.0,
             "-9.223372036854776e+18"},
            {"TwoToThe63", Value(9223372036854775808.0), none, none, 9223372036854775808.0,
             "9.223372036854776e+18"},
            {"Yes", Value("yes"), true, none, none, "yes"},
            {"Off", Value("off"), false, none, none, "off"},
            {"UpperCaseTrue", Value("TRUE"), none, none, none, "TRUE"},
            {"PaddedTrue", Value(" true"), none, none, none, " true"},
            {"PlusInteger", Value("+42"), none, 42, 42.0, "+42"},
            {"MinusZero", Value("-0"), none, 0, -0.0, "-0"},
            {"One", Value("1"), true, 1, 1.0, "1"},
            {"LeadingSpace", Value(" 42"), none, none, none, " 42"},
            {"WholeFractionText", Value("4.0"), none, none, 4.0, "4.0"},
            {"LoneSign", Value("-"), none, none, none, "-"},
            {"Empty", Value(""), none, none, none, ""},
            {"Overflow", Value("9223372036854775808"), none, none, 9223372036854775808.0, "9223372036854775808"},
            {"PlusMinus", Value("+-1"), none, none, none, "+-1"},
            {"Exponent", Value("2.5e1"), none, none, 25.0, "2.5e1"},
            {"Words", Value("abc"), none, none, none, "abc"},
            {"Null", Value(), none, none, none, none},
            {"Data", Value::data(std::nullopt, "1"), none, none, none, none},
            {"Array", Value::array({1}), none, none, none, none},
            {"Object", Value::object({}), none, none, none, none},
        },
        false);
}

TEST(ValueTest, LenientConversionsOfNaN) {
    Value nan(std::nan(""));
    EXPECT_EQ(toBool(nan, false), std::nullopt);
    EXPECT_EQ(toInt(nan, false), std::nullopt);
    EXPECT_EQ(toString(nan, false), "nan");
}

TEST(ValueTest, LenientDoubleReadsInfinityAndNaNTexts) {
    EXPECT_EQ(toDouble(Value("inf"), false), std::numeric_limits<double>::infinity());
    auto nan = toDouble(Value("nan"), false);
    ASSERT_TRUE(nan.has_value());
    EXPECT_TRUE(std::isnan(*nan));
}

}  // namespace
}  // namespace mcp
