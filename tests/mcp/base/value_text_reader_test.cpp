#include "mcp/base/value.hpp"

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "random_value_documents.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp {
namespace {

/// The outcome of reading `text` one way: the Value written back, or the failure's texts.
template <class Read>
std::string outcome(Read read) {
    try {
        return platform::json::write(read().toJSON());
    } catch (const platform::json::DecodingError& e) {
        return "failed: " + e.description + " / " + e.underlying;
    }
}

std::string direct(std::string_view text) {
    return outcome([&] { return Value::fromJSONText(text); });
}

std::string throughDOM(std::string_view text) {
    return outcome([&] { return Value::fromJSON(platform::json::parse(text)); });
}

TEST(ValueTextReaderTest, ReadsRandomDocumentsAsTheDOMWouldGiveThem) {
    auto documents = test::randomDocuments(2207);
    for (int i = 0; i < 400; ++i) {
        auto text = platform::json::write(documents.make(4));
        SCOPED_TRACE(text);
        auto read = Value::fromJSONText(text);
        ASSERT_EQ(read, Value::fromJSON(platform::json::parse(text)));
    }
}

TEST(ValueTextReaderTest, ReadsAndRefusesExactlyWhatTheParserDoes) {
    const char* texts[] = {
        R"({"a":1,"a":2,"b":[1.0,2.5,-0.0,18446744073709551615,9223372036854775807,-9223372036854775808]})",
        R"(["data:text/plain;base64,aGk=","data:nonsense","\u00e9\n\"","x\/y"])",
        R"({"big":1e308,"small":4.9e-324,"whole":3e2})",
        R"(  {"nested":{"deep":[[[{}]]]}}  )",
        "1e999",
        "[1,]",
        "{\"a\":1} 2",
        "{\"a\":",
        "\"\xff\"",
        "",
        "nul",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(direct(text), throughDOM(text));
    }
    std::string deep(512, '[');
    deep += std::string(512, ']');
    EXPECT_EQ(direct(deep), throughDOM(deep));
    EXPECT_EQ(direct("[" + deep + "]"), throughDOM("[" + deep + "]"));
    EXPECT_TRUE(direct("[" + deep + "]").starts_with("failed: The given data was not valid JSON."));
}

// Large texts are read twice, the first time to size their arrays; the outcome is the same.
TEST(ValueTextReaderTest, ReadsAndRefusesLargeTextsAsTheParserDoes) {
    auto documents = test::randomDocuments(4111);
    std::string many = "[";
    while (many.size() < 200000) many += platform::json::write(documents.make(4)) + ",";
    many += R"({"a":1,"a":[2,[],[[3]]],"b":{}}])";
    std::string padding(70000, ' ');
    const std::string texts[] = {
        many,
        padding + "[1,2,3]",
        padding + "[" + std::string(20000, '1') + "]",
        // The first fault is reported, whichever reading meets it.
        "[1e999," + padding + "]]",
        "[1," + padding + "]] 1e999",
        many + " x",
        many.substr(0, many.size() - 1),
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text.substr(0, 80));
        EXPECT_EQ(direct(text), throughDOM(text));
    }
}

// The first reading keeps short lengths in a byte and long ones apart: arrays on both sides of
// that limit, nested in each other in every order, come out at their sizes.
TEST(ValueTextReaderTest, SizesLargeTextsArraysAroundTheShortLengthLimit) {
    auto array = [](std::size_t size, const std::string& element) {
        std::string text = "[";
        for (std::size_t i = 0; i < size; ++i) text += (i ? "," : "") + element;
        return text + "]";
    };
    std::string text = "[";
    for (std::size_t outer : {0, 1, 254, 255, 256, 300}) {
        for (std::size_t inner : {0, 3, 255, 256}) {
            text += array(outer, array(inner, "1")) + "," + array(inner, array(outer % 7, "[]")) + ",";
        }
    }
    text += "[]]";
    ASSERT_GT(text.size(), 64u * 1024);
    EXPECT_EQ(direct(text), throughDOM(text));
    EXPECT_EQ(Value::fromJSONText(text), Value::fromJSON(platform::json::parse(text)));
}

// A small array met again shares the first one's block; arrays that differ in any element, even
// in its representation alone, keep their own.
TEST(ValueTextReaderTest, RepeatedSmallArraysShareOneBlock) {
    auto padding = std::string(70000, ' ');
    for (const auto& pad : {std::string(), padding}) {
        SCOPED_TRACE(pad.size());
        auto text = pad + R"([[["ab"]],[["ab"]],["ab"],["ac"],[1,2],[1,2],[2,1],[0.5],[0.5],[[]],[[]],[{}],[{}],[1,2,3,4,5],[1,2,3,4,5]])";
        auto read = Value::fromJSONText(text);
        ASSERT_EQ(read, Value::fromJSON(platform::json::parse(text)));
        auto list = *read.arrayValue();
        auto block = [&](std::size_t i) { return list[i].arrayValue()->data(); };
        EXPECT_EQ(block(0), block(1));
        EXPECT_EQ((*list[0].arrayValue())[0].arrayValue()->data(), block(2));
        EXPECT_NE(block(2), block(3));
        EXPECT_EQ(block(4), block(5));
        EXPECT_NE(block(4), block(6));
        EXPECT_EQ(block(7), block(8));
        EXPECT_EQ(block(9), block(10));
        EXPECT_EQ(block(11), block(12));
        // Past the size the reader looks for.
        EXPECT_NE(block(13), block(14));
    }
}

// Arrays whose elements differ only in their high bits (a double's exponent, an element's kind)
// must not all compete for the same places.
TEST(ValueTextReaderTest, InterleavedSmallArraysEachShareTheirBlock) {
    const std::vector<std::string> arrays = {"[0.5]", "[[]]", "[{}]", "[0.25]", "[true]", "[null]", "[2.0]"};
    std::string text = "[";
    for (int round = 0; round < 3; ++round) {
        for (const auto& array : arrays) text += array + ",";
    }
    text.back() = ']';
    auto read = Value::fromJSONText(text);
    ASSERT_EQ(read, Value::fromJSON(platform::json::parse(text)));
    auto list = *read.arrayValue();
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        SCOPED_TRACE(arrays[i]);
        EXPECT_EQ(list[i].arrayValue()->data(), list[i + arrays.size()].arrayValue()->data());
        EXPECT_EQ(list[i].arrayValue()->data(), list[i + 2 * arrays.size()].arrayValue()->data());
    }
}

TEST(ValueTextReaderTest, ReadsLongTextsAndKeysWhole) {
    std::string longText(100000, 'x');
    longText += "\\u00e9";
    std::string text = "{\"" + longText + "\":\"" + longText + "\"}";
    EXPECT_EQ(direct(text), throughDOM(text));
}

}  // namespace
}  // namespace mcp
