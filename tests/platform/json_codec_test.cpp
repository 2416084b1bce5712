#include "platform/json/codec.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <boost/json.hpp>
#include <gtest/gtest.h>

#include "platform/json/parse.hpp"

namespace {

using boost::json::array;
using boost::json::object;
using boost::json::value;
using platform::json::DecodingError;
using platform::json::decode;
using platform::json::encode;
using platform::json::optional;
using platform::json::required;
using Kind = DecodingError::Kind;

struct Item {
    std::string name;
    std::optional<std::int64_t> count;

    boost::json::value toJSON() const {
        object o;
        o["name"] = encode(name);
        if (count) o["count"] = encode(count);
        return o;
    }

    static Item fromJSON(const value& v) {
        const auto& o = platform::json::asObject(v);
        Item item{required<std::string>(o, "name"), optional<std::int64_t>(o, "count")};
        if (item.name.empty()) throw DecodingError::dataCorrupted("Invalid params field");
        return item;
    }

    bool operator==(const Item&) const = default;
};

struct Basket {
    std::vector<Item> items;
    std::map<std::string, Item> byName;
    std::optional<std::vector<double>> weights;

    boost::json::value toJSON() const {
        object o;
        o["items"] = encode(items);
        o["byName"] = encode(byName);
        if (weights) o["weights"] = encode(*weights);
        return o;
    }

    static Basket fromJSON(const value& v) {
        const auto& o = platform::json::asObject(v);
        return {required<std::vector<Item>>(o, "items"), required<std::map<std::string, Item>>(o, "byName"),
                optional<std::vector<double>>(o, "weights")};
    }

    bool operator==(const Basket&) const = default;
};

/// Reads any JSON value, null included, the way a record without fields does.
struct Anything {
    static Anything fromJSON(const value&) { return {}; }
    boost::json::value toJSON() const { return object{}; }
};

static_assert(platform::json::JsonCodable<Item>);
static_assert(!platform::json::JsonCodable<std::string>);

struct Failure {
    Kind kind;
    std::vector<std::string> path;
};

std::optional<Failure> failureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const DecodingError& error) {
        return Failure{error.kind, error.codingPath};
    }
    return std::nullopt;
}

void expectFailure(const std::function<void()>& step, Kind kind, std::vector<std::string> path) {
    auto failure = failureOf(step);
    ASSERT_TRUE(failure) << "no DecodingError";
    EXPECT_EQ(failure->kind, kind);
    EXPECT_EQ(failure->path, path);
}

TEST(JsonCodecTest, FieldHelpersReportKindAndKey) {
    const object o{{"null", nullptr}, {"text", "x"}, {"number", 3}, {"list", array{1, 2}}};
    expectFailure([&] { required<std::int64_t>(o, "missing"); }, Kind::keyNotFound, {"missing"});
    expectFailure([&] { required<std::int64_t>(o, "null"); }, Kind::valueNotFound, {"null"});
    expectFailure([&] { required<std::int64_t>(o, "text"); }, Kind::typeMismatch, {"text"});
    expectFailure([&] { required<std::string>(o, "number"); }, Kind::typeMismatch, {"number"});
    expectFailure([&] { required<object>(o, "list"); }, Kind::typeMismatch, {"list"});
    expectFailure([&] { required<std::vector<std::string>>(o, "list"); }, Kind::typeMismatch, {"list", "0"});
    expectFailure([&] { optional<bool>(o, "text"); }, Kind::typeMismatch, {"text"});

    EXPECT_EQ(optional<std::int64_t>(o, "missing"), std::nullopt);
    EXPECT_EQ(optional<std::int64_t>(o, "null"), std::nullopt);
    EXPECT_EQ(optional<std::int64_t>(o, "number"), 3);
    EXPECT_EQ(required<std::vector<int>>(o, "list"), (std::vector<int>{1, 2}));
    EXPECT_TRUE(required<value>(o, "null").is_null());
}

TEST(JsonCodecTest, NestedFailuresCarryTheWholePath) {
    auto decodeBasket = [](const char* text) { return [text] { decode<Basket>(platform::json::parse(text)); }; };
    expectFailure(decodeBasket(R"({"items":[{"name":"a"},{"name":"b","count":"x"}],"byName":{}})"),
                  Kind::typeMismatch, {"items", "1", "count"});
    expectFailure(decodeBasket(R"({"items":[],"byName":{"k":{"count":1}}})"), Kind::keyNotFound,
                  {"byName", "k", "name"});
    expectFailure(decodeBasket(R"({"items":[null],"byName":{}})"), Kind::valueNotFound, {"items", "0"});
    expectFailure(decodeBasket(R"({"items":[],"byName":{},"weights":[1,true]})"), Kind::typeMismatch,
                  {"weights", "1"});
    expectFailure(decodeBasket(R"([])"), Kind::typeMismatch, {});
    expectFailure(decodeBasket(R"(null)"), Kind::valueNotFound, {});
}

TEST(JsonCodecTest, FixedTextsSurviveAsDescription) {
    try {
        decode<Basket>(platform::json::parse(R"({"items":[{"name":""}],"byName":{}})"));
        FAIL() << "decoded";
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind, Kind::dataCorrupted);
        EXPECT_STREQ(error.what(), "Invalid params field");
        EXPECT_EQ(error.codingPath, (std::vector<std::string>{"items", "0"}));
    }
}

TEST(JsonCodecTest, NumbersFollowTheIntegerRuleAndTheTargetRange) {
    EXPECT_EQ(decode<std::int64_t>(value(3.0)), 3);
    EXPECT_EQ(decode<std::int8_t>(value(-128)), -128);
    EXPECT_EQ(decode<std::uint32_t>(value(4294967295.0)), 4294967295u);
    EXPECT_EQ(decode<double>(value(3)), 3.0);
    EXPECT_EQ(decode<double>(value(std::uint64_t{1} << 63)), 9223372036854775808.0);
    EXPECT_EQ(decode<float>(value(0.5)), 0.5f);

    const std::pair<const char*, std::function<void()>> refused[] = {
        {"FractionAsInt", [] { decode<std::int64_t>(value(3.5)); }},
        {"TwoTo63AsInt", [] { decode<std::int64_t>(value(std::uint64_t{1} << 63)); }},
        {"TooLargeForInt8", [] { decode<std::int8_t>(value(128)); }},
        {"NegativeForUnsigned", [] { decode<std::uint32_t>(value(-1)); }},
        {"WholeDoubleTooLargeForUInt32", [] { decode<std::uint32_t>(value(4294967296.0)); }},
        {"TextAsInt", [] { decode<std::int64_t>(value("3")); }},
        {"TextAsDouble", [] { decode<double>(value("1")); }},
        {"BoolAsInt", [] { decode<int>(value(true)); }},
    };
    for (const auto& [name, step] : refused) {
        SCOPED_TRACE(name);
        expectFailure(step, Kind::typeMismatch, {});
    }
    expectFailure([] { decode<double>(value(nullptr)); }, Kind::valueNotFound, {});
}

TEST(JsonCodecTest, EncodesAndDecodesBackEqual) {
    Basket basket{{{"a", 1}, {"b/c", std::nullopt}}, {{"k", {"x", -2}}}, std::vector<double>{0.5, 2}};
    value json = encode(basket);
    EXPECT_EQ(json.at("items").at(1), (object{{"name", "b/c"}}));
    EXPECT_EQ(decode<Basket>(json), basket);

    EXPECT_TRUE(encode(std::optional<int>()).is_null());
    EXPECT_EQ(encode(std::optional<std::uint8_t>(7)), value(7));
    EXPECT_EQ(decode<std::optional<std::string>>(value(nullptr)), std::nullopt);
    EXPECT_EQ(decode<std::optional<std::string>>(value("s")), "s");
    auto flags = decode<std::map<std::string, bool>>(platform::json::parse(R"({"t":true,"f":false})"));
    EXPECT_EQ(flags, (std::map<std::string, bool>{{"f", false}, {"t", true}}));
    EXPECT_EQ(encode(std::vector<std::int64_t>{-1, 2}), (array{-1, 2}));
}

TEST(JsonCodecTest, CodableTypesDecideAboutNullThemselves) {
    EXPECT_NO_THROW(decode<Anything>(value(nullptr)));
    EXPECT_NO_THROW(required<Anything>(object{{"a", nullptr}}, "a"));
    EXPECT_EQ(optional<Item>(object{{"a", nullptr}}, "a"), std::nullopt);
    expectFailure([] { required<Item>(object{{"a", nullptr}}, "a"); }, Kind::valueNotFound, {"a"});
}

}  // namespace
