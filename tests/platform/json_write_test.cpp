#include "platform/json/write.hpp"
#include "platform/utf8.hpp"
#include "support/random_json.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include <boost/json.hpp>
#include <gtest/gtest.h>

#include "platform/json/encoding_error.hpp"
#include "platform/json/parse.hpp"

namespace {

using boost::json::array;
using boost::json::object;
using boost::json::value;
using platform::json::WriteOptions;
using platform::json::write;

struct WriteCase {
    const char* name;
    value input;
    WriteOptions options;
    std::string expected;
};

TEST(JsonWriteTest, WritesTheTable) {
    const WriteOptions unescaped{.escapeSlashes = false};
    const WriteOptions sorted{.sortedKeys = true};
    const WriteCase cases[] = {
        {"Null", nullptr, {}, "null"},
        {"Bools", array{true, false}, {}, "[true,false]"},
        {"SlashEscapedByDefault", "a/b", {}, R"("a\/b")"},
        {"SlashUnescaped", "a/b", unescaped, R"("a/b")"},
        {"QuoteAndBackslash", "\"\\", {}, R"("\"\\")"},
        {"ShortEscapes", "\b\f\n\r\t", {}, R"("\b\f\n\r\t")"},
        {"OtherControlsLowerHex", boost::json::string_view("\x00\x01\x1f", 3), {}, R"("\u0000\u0001\u001f")"},
        {"DeleteRaw", "\x7f", {}, "\"\x7f\""},
        {"NonAsciiRaw", "\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80", {}, "\"\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80\""},
        {"LineSeparatorsRaw", "\xe2\x80\xa8\xe2\x80\xa9", {}, "\"\xe2\x80\xa8\xe2\x80\xa9\""},
        {"EscapedKey", object{{"a/\n", 1}}, {}, R"({"a\/\n":1})"},
        {"WholeDoubleWithoutFraction", 1.0, {}, "1"},
        {"NegativeZero", -0.0, {}, "-0"},
        {"Fraction", 0.1, {}, "0.1"},
        {"Large", 1e21, {}, "1e+21"},
        {"Small", 1e-7, {}, "1e-07"},
        {"ShortestRoundTrip", 0.30000000000000004, {}, "0.30000000000000004"},
        {"Int64Min", std::numeric_limits<std::int64_t>::min(), {}, "-9223372036854775808"},
        {"UInt64Max", std::numeric_limits<std::uint64_t>::max(), {}, "18446744073709551615"},
        {"InsertionOrder", object{{"b", 1}, {"a", 2}}, {}, R"({"b":1,"a":2})"},
        {"SortedEveryLevel",
         object{{"b", object{{"y", 1}, {"x", 2}}}, {"a", array{object{{"d", 1}, {"c", 2}}}}},
         sorted,
         R"({"a":[{"c":2,"d":1}],"b":{"x":2,"y":1}})"},
        // Byte order: capitals before small letters, every non-ASCII key after all ASCII ones.
        {"SortedByUnsignedBytes",
         object{{"\xc3\xa9", 1}, {"a", 2}, {"Z", 3}, {"B", 4}, {"", 5}},
         sorted,
         "{\"\":5,\"B\":4,\"Z\":3,\"a\":2,\"\xc3\xa9\":1}"},
        {"SortedKeysByPrefix", object{{"ab", 1}, {"a", 2}, {"a\x01", 3}}, sorted, R"({"a":2,"a\u0001":3,"ab":1})"},
        {"Empties", object{{"o", object{}}, {"a", array{}}, {"s", ""}}, {}, R"({"o":{},"a":[],"s":""})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(write(c.input, c.options), c.expected);
    }
}

TEST(JsonWriteTest, WritesPrettyWithNestingAndEmpties) {
    value input = object{{"b", array{1, object{}, array{}}}, {"a", object{{"k", "v/w"}}}, {"c", object{{"d", array{true}}}}};
    const char* expected =
        "{\n"
        "  \"a\" : {\n"
        "    \"k\" : \"v/w\"\n"
        "  },\n"
        "  \"b\" : [\n"
        "    1,\n"
        "    {},\n"
        "    []\n"
        "  ],\n"
        "  \"c\" : {\n"
        "    \"d\" : [\n"
        "      true\n"
        "    ]\n"
        "  }\n"
        "}";
    EXPECT_EQ(write(input, {.sortedKeys = true, .escapeSlashes = false, .pretty = true}), expected);
    EXPECT_EQ(write(array{}, {.pretty = true}), "[]");
    EXPECT_EQ(write(3, {.pretty = true}), "3");
}

TEST(JsonWriteTest, RefusesNanAndInfinityLeavingOutputUntouched) {
    const double refused[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    for (double d : refused) {
        SCOPED_TRACE(d);
        std::string out = "kept";
        value nested = object{{"a", array{1, "long enough text to force the buffer to grow", object{{"x", d}}}}};
        EXPECT_THROW(platform::json::writeTo(out, nested), platform::json::EncodingError);
        EXPECT_EQ(out, "kept");
        EXPECT_THROW(write(d), platform::json::EncodingError);
    }
}

TEST(JsonWriteTest, AppendsToExistingText) {
    std::string out = "data: ";
    platform::json::writeTo(out, object{{"a", 1}});
    EXPECT_EQ(out, R"(data: {"a":1})");
}

// The plain-run scan reads sixteen bytes at a time, then eight; every byte value at every offset of
// a text that takes both, and a tail, must come out exactly as a byte-by-byte escaper would write it.
TEST(JsonWriteTest, EscapesEveryByteAtEveryOffset) {
    auto escaped = [](unsigned char c, bool slash) -> std::string {
        switch (c) {
        case '"': return "\\\"";
        case '\\': return "\\\\";
        case '\b': return "\\b";
        case '\f': return "\\f";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        case '/': return slash ? "\\/" : "/";
        default: break;
        }
        if (c < 0x20) {
            const char* hex = "0123456789abcdef";
            return std::string("\\u00") + hex[c >> 4] + hex[c & 0xF];
        }
        return std::string(1, static_cast<char>(c));
    };
    for (bool slash : {true, false}) {
        for (int byte = 0; byte < 256; ++byte) {
            for (std::size_t offset = 0; offset < 29; ++offset) {
                // Bytes on either side that sit near the special ones in value.
                std::string text(29, static_cast<char>(offset % 2 ? 0x80 : 0x21));
                text[offset] = static_cast<char>(byte);
                // Bytes that are no UTF-8 come out as U+FFFD.
                std::string expected = "\"";
                for (char c : platform::repairUTF8(text)) expected += escaped(static_cast<unsigned char>(c), slash);
                expected += "\"";
                ASSERT_EQ(write(value(boost::json::string_view(text)), {.escapeSlashes = slash}), expected)
                    << "byte " << byte << " at " << offset << " slash " << slash;
            }
        }
    }
}

TEST(JsonWriteTest, WritesNestingDeeperThanTheParserAccepts) {
    constexpr int kDepth = 5000;
    value root = array{};
    array* innermost = &root.get_array();
    for (int i = 1; i < kDepth; ++i) innermost = &innermost->emplace_back(array{}).get_array();
    std::string text = write(root, {.sortedKeys = true});
    EXPECT_EQ(text, std::string(kDepth, '[') + std::string(kDepth, ']'));
}

// Deep levels are written by another walker than shallow ones; sorting and indenting must carry on
// across the change.
TEST(JsonWriteTest, SortsAndIndentsAtEveryDepth) {
    for (int depth : {1, 63, 64, 65, 150}) {
        SCOPED_TRACE(depth);
        // Each level holds {"b": [true], "a": <next level>}; the last level is {}.
        value root = object{};
        value* innermost = &root;
        for (int i = 0; i < depth; ++i) {
            auto& level = innermost->get_object();
            level["b"] = array{true};
            innermost = &level["a"];
            *innermost = object{};
        }
        std::string compact;
        std::string pretty;
        auto indent = [](int n) { return std::string(2 * static_cast<std::size_t>(n), ' '); };
        for (int i = 0; i < depth; ++i) {
            compact += R"({"a":)";
            pretty += "{\n" + indent(i + 1) + "\"a\" : ";
        }
        compact += "{}";
        pretty += "{}";
        for (int i = depth - 1; i >= 0; --i) {
            compact += R"(,"b":[true]})";
            pretty += ",\n" + indent(i + 1) + "\"b\" : [\n" + indent(i + 2) + "true\n" + indent(i + 1) + "]\n" +
                      indent(i) + "}";
        }
        EXPECT_EQ(write(root, {.sortedKeys = true}), compact);
        EXPECT_EQ(write(root, {.sortedKeys = true, .pretty = true}), pretty);
    }
}

// Past the recursion limit, closing an array must not drop the sorted members of the objects still
// open around it: the next object sorted would write over them.
TEST(JsonWriteTest, SortedDeepLevelsKeepTheMembersAroundClosedArrays) {
    for (int depth : {63, 64, 65, 66, 150}) {
        SCOPED_TRACE(depth);
        // Each level holds {"a": [true], "m": <next level>, "z": <its index>}; the last level is {}.
        value root = object{};
        value* innermost = &root;
        for (int i = 0; i < depth; ++i) {
            auto& level = innermost->get_object();
            level["z"] = i;
            level["a"] = array{true};
            innermost = &level["m"];
            *innermost = object{};
        }
        for (bool pretty : {false, true}) {
            EXPECT_EQ(platform::json::parse(write(root, {.sortedKeys = true, .pretty = pretty})), root);
        }
    }
}

// Whole doubles read back as integers, so the round trip uses fractions only.
testing_support::RandomJson randomDocuments(std::uint64_t seed) {
    return testing_support::RandomJson(seed, {
        .pieces = {"a", "Z", "/", "\"", "\\", "\n", "\x01", "\x1f", " ", "\xc3\xa9", "\xe2\x80\xa8",
                   "\xf0\x9f\x98\x80", "0123456789abcdef"},
        .scalarKinds = 7,
        .scalar = [](testing_support::RandomJson& r, int kind) -> value {
            switch (kind) {
            case 0: return nullptr;
            case 1: return r.pick(2) == 0;
            case 2: return static_cast<std::int64_t>(r.bits());
            case 3: return r.bits() | (std::uint64_t{1} << 63);
            case 4: return r.fraction();
            default: return value(boost::json::string_view(r.text()));
            }
        },
    });
}

TEST(JsonWriteTest, RoundTripsRandomDocuments) {
    const WriteOptions variants[] = {{}, {.sortedKeys = true, .escapeSlashes = false}, {.pretty = true}};
    auto documents = randomDocuments(20240611);
    for (int i = 0; i < 300; ++i) {
        value document = documents.make(5);
        for (const auto& options : variants) {
            std::string text = write(document, options);
            SCOPED_TRACE(text);
            ASSERT_EQ(platform::json::parse(text), document);
        }
    }
}

}  // namespace
