#include "mcp/base/id.hpp"

#include "mcp/base/progress_token.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace mcp {
namespace {

using platform::json::DecodingError;

template <class F>
void expectDataCorrupted(F&& decode, const std::string& description) {
    try {
        decode();
        ADD_FAILURE() << "decoding succeeded";
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind, DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(e.description, description);
    }
}

TEST(IDTest, DecodesStringsIntegersAndNull) {
    struct Case {
        const char* name;
        std::string_view json;
        ID expected;
    };
    const std::vector<Case> cases = {
        {"String", R"("abc")", ID("abc")},
        {"NumericString", R"("7")", ID("7")},
        {"Integer", "7", ID(7)},
        {"Negative", "-3", ID(-3)},
        {"WholeDouble", "7.0", ID(7)},
        {"NullIsEmptyString", "null", ID("")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ID::fromJSON(platform::json::parse(c.json)), c.expected);
    }
}

TEST(IDTest, RefusesOtherJSON) {
    for (std::string_view json : {"true", "1.5", "{}", "[1]", "9223372036854775808"}) {
        SCOPED_TRACE(json);
        expectDataCorrupted([&] { ID::fromJSON(platform::json::parse(json)); }, "ID must be string or number");
    }
}

TEST(IDTest, NullIdEncodesBackAsEmptyString) {
    auto id = ID::fromJSON(nullptr);
    EXPECT_EQ(platform::json::write(id.toJSON()), R"("")");
}

TEST(IDTest, TextAndNumberAreDifferentKeys) {
    std::unordered_map<ID, int> map;
    map[ID("7")] = 1;
    map[ID(7)] = 2;
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at(ID("7")), 1);
    EXPECT_EQ(map.at(ID(7)), 2);
    EXPECT_NE(ID("7"), ID(7));
}

TEST(IDTest, DescribesWithoutQuotes) {
    EXPECT_EQ(ID(-3).description(), "-3");
    EXPECT_EQ(ID("abc").description(), "abc");
    EXPECT_EQ(ID('x'), ID("x"));
}

TEST(IDTest, RandomIdsAreFreshUpperCaseUUIDs) {
    auto first = ID::random();
    auto second = ID::random();
    EXPECT_NE(first, second);
    for (const auto& id : {first, second}) {
        ASSERT_EQ(id.kind(), ID::Kind::string);
        const std::string& text = *id.stringValue();
        ASSERT_EQ(text.size(), 36u);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i == 8 || i == 13 || i == 18 || i == 23) {
                EXPECT_EQ(text[i], '-');
            } else {
                EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])));
                EXPECT_FALSE(std::islower(static_cast<unsigned char>(text[i])));
            }
        }
    }
}

TEST(ProgressTokenTest, DecodesStringsAndIntegers) {
    EXPECT_EQ(ProgressToken::fromJSON(platform::json::parse(R"("t")")), ProgressToken::string("t"));
    EXPECT_EQ(ProgressToken::fromJSON(platform::json::parse("5")), ProgressToken::integer(5));
    EXPECT_EQ(platform::json::write(ProgressToken::integer(5).toJSON()), "5");
    EXPECT_EQ(platform::json::write(ProgressToken::string("t").toJSON()), R"("t")");
}

TEST(ProgressTokenTest, RefusesNullAndOtherJSON) {
    for (std::string_view json : {"null", "true", "2.5", "[]"}) {
        SCOPED_TRACE(json);
        expectDataCorrupted([&] { ProgressToken::fromJSON(platform::json::parse(json)); },
                            "Progress token must be a string or integer");
    }
}

TEST(ProgressTokenTest, TextAndIntegerDiffer) {
    EXPECT_NE(ProgressToken::string("1"), ProgressToken::integer(1));
    EXPECT_NE(std::hash<ProgressToken>{}(ProgressToken::string("1")),
              std::hash<ProgressToken>{}(ProgressToken::integer(1)));
}

}  // namespace
}  // namespace mcp
