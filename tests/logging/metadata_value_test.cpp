#include "logging/metadata_value.hpp"

#include "logging/attributed_string_carrier.hpp"
#include "logging/metadata_value_attributes.hpp"
#include "logging/metadata_value_interpolation.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using logging::Metadata;
using logging::MetadataValue;
using logging::MetadataValueAttributes;

// Three attribute types; Sensitivity accepts only the raw values 0 to 2.
struct Sensitivity {
    std::int64_t value;
    std::int64_t rawValue() const { return value; }
    static std::optional<Sensitivity> fromRawValue(std::int64_t raw) {
        if (raw < 0 || raw > 2) return std::nullopt;
        return Sensitivity{raw};
    }
    bool operator==(const Sensitivity&) const = default;
};

template <int Tag>
struct Plain {
    std::int64_t value;
    std::int64_t rawValue() const { return value; }
    static std::optional<Plain> fromRawValue(std::int64_t raw) { return Plain{raw}; }
    bool operator==(const Plain&) const = default;
};
using A = Plain<0>;
using B = Plain<1>;
using C = Plain<2>;

struct Point {
    int x;
    int y;
    std::string description() const { return std::to_string(x) + "," + std::to_string(y); }
};

TEST(MetadataValueTest, Renders) {
    struct Case {
        const char* name;
        MetadataValue value;
        std::string expected;
    };
    const Case cases[] = {
        {"String", MetadataValue("plain text"), "plain text"},
        {"Convertible", MetadataValue::convertible(Point{1, 2}), "1,2"},
        {"EmptyDictionary", MetadataValue::dictionary({}), "[:]"},
        {"EmptyArray", MetadataValue::array({}), "[]"},
        {"Dictionary", MetadataValue::dictionary({{"b", "2"}, {"a", "1"}}), R"(["a": "1", "b": "2"])"},
        {"Array", MetadataValue::array({"x", MetadataValue::convertible(7)}), R"(["x", "7"])"},
        {"ArrayInDictionary", MetadataValue::dictionary({{"list", MetadataValue::array({"a", "b"})}}),
         R"(["list": "[\"a\", \"b\"]"])"},
        {"DictionaryInArray", MetadataValue::array({MetadataValue::dictionary({{"k", "v"}})}), R"(["[\"k\": \"v\"]"])"},
        {"EmptyInside", MetadataValue::array({MetadataValue::array({}), MetadataValue::dictionary({})}),
         R"(["[]", "[:]"])"},
        {"Escapes", MetadataValue::array({"say \"hi\"\\", "line\nbreak\ttab\x01"}),
         R"(["say \"hi\"\\", "line\nbreak\ttab\u{1}"])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.description(), c.expected);
    }
}

TEST(MetadataValueTest, EqualityGoesByCaseThenContent) {
    struct Case {
        const char* name;
        MetadataValue a;
        MetadataValue b;
        bool equal;
    };
    const Case cases[] = {
        {"SameString", MetadataValue("a"), MetadataValue("a"), true},
        {"DifferentString", MetadataValue("a"), MetadataValue("b"), false},
        {"StringVersusConvertible", MetadataValue("a"), MetadataValue::convertible(std::string("a")), false},
        {"ConvertiblesByDescription", MetadataValue::convertible(7), MetadataValue::convertible(std::string("7")), true},
        {"AttributesIgnored", MetadataValue::attributed(5, MetadataValueAttributes(A{1})),
         MetadataValue::attributed(5, MetadataValueAttributes(B{2})), true},
        {"SameDictionary", MetadataValue::dictionary({{"k", "v"}}), MetadataValue::dictionary({{"k", "v"}}), true},
        {"DictionaryValueDiffers", MetadataValue::dictionary({{"k", "v"}}), MetadataValue::dictionary({{"k", "w"}}), false},
        {"DictionaryKeysDiffer", MetadataValue::dictionary({{"k", "v"}}), MetadataValue::dictionary({{"j", "v"}}), false},
        {"ArrayOrderMatters", MetadataValue::array({"a", "b"}), MetadataValue::array({"b", "a"}), false},
        {"ArrayLengthMatters", MetadataValue::array({"a"}), MetadataValue::array({"a", "a"}), false},
        {"DictionaryVersusArray", MetadataValue::dictionary({}), MetadataValue::array({}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.b == c.a, c.equal);
    }
}

TEST(MetadataValueTest, NullConvertibleIsRefused) {
    EXPECT_THROW(MetadataValue::stringConvertible(nullptr), std::invalid_argument);
}

// Where the entries of a set live, as (raw value) lists: inline, then overflow (absent: nullopt).
struct Layout {
    std::optional<std::int64_t> inlineValue;
    std::optional<std::vector<std::int64_t>> overflow;
    bool operator==(const Layout&) const = default;
};

Layout layoutOf(const MetadataValueAttributes& set) {
    Layout layout;
    if (set.inlineEntry()) layout.inlineValue = set.inlineEntry()->value;
    if (set.overflow()) {
        layout.overflow.emplace();
        for (const auto& entry : *set.overflow()) layout.overflow->push_back(entry.value);
    }
    return layout;
}

TEST(MetadataValueAttributesTest, FirstEntryInlineOthersInOverflow) {
    MetadataValueAttributes set;
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(layoutOf(set), (Layout{std::nullopt, std::nullopt}));
    set.set(A{1});
    EXPECT_EQ(layoutOf(set), (Layout{1, std::nullopt}));
    set.set(B{2});
    set.set(C{3});
    EXPECT_EQ(layoutOf(set), (Layout{1, std::vector<std::int64_t>{2, 3}}));

    // Replacing keeps the place.
    set.set(B{20});
    set.set(A{10});
    EXPECT_EQ(layoutOf(set), (Layout{10, std::vector<std::int64_t>{20, 3}}));
    EXPECT_EQ(set.get<B>(), B{20});
    EXPECT_EQ(set.size(), 3u);
}

TEST(MetadataValueAttributesTest, RemovalMovesTheLastOverflowEntryInline) {
    struct Case {
        const char* name;
        std::vector<int> inserted;  // 0 = A, 1 = B, 2 = C, each with raw value index + 1
        int removed;
        Layout expected;
    };
    const Case cases[] = {
        {"OnlyInline", {0}, 0, {std::nullopt, std::nullopt}},
        {"InlineWithOneOverflow", {0, 1}, 0, {2, std::nullopt}},
        {"InlineWithTwoOverflow", {0, 1, 2}, 0, {3, std::vector<std::int64_t>{2}}},
        {"FirstOverflow", {0, 1, 2}, 1, {1, std::vector<std::int64_t>{3}}},
        {"OnlyOverflow", {0, 1}, 1, {1, std::nullopt}},
        {"Missing", {0, 1}, 2, {1, std::vector<std::int64_t>{2}}},
    };
    auto insert = [](MetadataValueAttributes& set, int which) {
        if (which == 0) set.set(A{1});
        if (which == 1) set.set(B{2});
        if (which == 2) set.set(C{3});
    };
    auto remove = [](MetadataValueAttributes& set, int which) {
        if (which == 0) set.remove<A>();
        if (which == 1) set.remove<B>();
        if (which == 2) set.set(std::optional<C>());
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MetadataValueAttributes set;
        for (int which : c.inserted) insert(set, which);
        remove(set, c.removed);
        EXPECT_EQ(layoutOf(set), c.expected);
    }
}

TEST(MetadataValueAttributesTest, LiteralSetsAndEquality) {
    MetadataValueAttributes repeated(A{1}, A{2});
    EXPECT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated.get<A>(), A{2});

    EXPECT_EQ(MetadataValueAttributes(A{1}, B{2}), MetadataValueAttributes(B{2}, A{1}));
    EXPECT_NE(MetadataValueAttributes(A{1}), MetadataValueAttributes(A{2}));
    EXPECT_NE(MetadataValueAttributes(A{1}), MetadataValueAttributes(B{1}));
    EXPECT_NE(MetadataValueAttributes(A{1}), MetadataValueAttributes(A{1}, B{2}));
    EXPECT_EQ(MetadataValueAttributes(), MetadataValueAttributes());
}

TEST(MetadataValueAttributesTest, ReadingAnUnknownRawValueGivesNothing) {
    MetadataValueAttributes set(Sensitivity{7});
    EXPECT_EQ(set.size(), 1u);
    EXPECT_EQ(set.get<Sensitivity>(), std::nullopt);
    EXPECT_EQ(set.get<A>(), std::nullopt);
    set.set(Sensitivity{2});
    EXPECT_EQ(set.get<Sensitivity>(), Sensitivity{2});
}

TEST(MetadataValueAttributesTest, MergeLetsTheGivenEntriesWin) {
    MetadataValueAttributes set(A{1}, B{2});
    set.merge(MetadataValueAttributes(B{20}, C{30}));
    EXPECT_EQ(set, MetadataValueAttributes(A{1}, B{20}, C{30}));
    EXPECT_EQ(layoutOf(set), (Layout{1, std::vector<std::int64_t>{20, 30}}));
}

TEST(MetadataValueTest, AttributesOnValues) {
    MetadataValue text("secret");
    EXPECT_TRUE(text.attributes().empty());
    text.setAttributes(MetadataValueAttributes(Sensitivity{2}));
    EXPECT_EQ(text.kind(), MetadataValue::Kind::stringConvertible);
    EXPECT_EQ(text.description(), "secret");
    EXPECT_EQ(text.attributes().get<Sensitivity>(), Sensitivity{2});
    EXPECT_NE(dynamic_cast<const logging::AttributedStringCarrier*>(text.asStringConvertible()), nullptr);

    // A second write replaces the set.
    text.setAttributes(MetadataValueAttributes(A{1}));
    EXPECT_EQ(text.attributes(), MetadataValueAttributes(A{1}));

    MetadataValue convertible = MetadataValue::convertible(Point{3, 4});
    EXPECT_TRUE(convertible.attributes().empty());
    convertible.setAttributes(MetadataValueAttributes(B{5}));
    EXPECT_EQ(convertible.description(), "3,4");
    EXPECT_EQ(convertible.attributes().get<B>(), B{5});

    for (MetadataValue container : {MetadataValue::dictionary({{"k", "v"}}), MetadataValue::array({"a"})}) {
        const MetadataValue before = container;
        container.setAttributes(MetadataValueAttributes(A{1}));
        EXPECT_EQ(container.kind(), before.kind());
        EXPECT_EQ(container, before);
        EXPECT_TRUE(container.attributes().empty());
    }

    MetadataValue attributed = MetadataValue::attributed(42, MetadataValueAttributes(A{9}));
    EXPECT_EQ(attributed.description(), "42");
    EXPECT_EQ(attributed.attributes().get<A>(), A{9});
}

TEST(StringInterpolationTest, WithoutAttributesGivesAString) {
    MetadataValue::StringInterpolation text(6, 1);
    text.appendLiteral("count ");
    text.appendInterpolation(3);
    MetadataValue value = std::move(text).finish();
    EXPECT_EQ(value.kind(), MetadataValue::Kind::string);
    EXPECT_EQ(value, MetadataValue("count 3"));
}

TEST(StringInterpolationTest, AnAttributeGivesAnAttributedConvertibleWithTheSameText) {
    MetadataValue::StringInterpolation text(6, 1);
    text.appendLiteral("count ");
    int edits = 0;
    text.appendInterpolation(3, [&](MetadataValueAttributes& attributes) {
        ++edits;
        attributes.set(Sensitivity{1});
    });
    MetadataValue value = std::move(text).finish();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(value.kind(), MetadataValue::Kind::stringConvertible);
    EXPECT_EQ(value.description(), "count 3");
    EXPECT_NE(value, MetadataValue("count 3"));
    EXPECT_EQ(value.attributes().get<Sensitivity>(), Sensitivity{1});
}

TEST(StringInterpolationTest, AttributeSetsMergeGivenEntriesWinning) {
    MetadataValue::StringInterpolation text(0, 3);
    text.appendInterpolation(std::string("a"), MetadataValueAttributes(A{1}, B{2}));
    text.appendInterpolation(std::runtime_error("b"), MetadataValueAttributes(B{20}));
    text.appendInterpolation(1.5, [](MetadataValueAttributes& attributes) { attributes.set(C{3}); });
    EXPECT_TRUE(text.hasAttributes());
    MetadataValue value = std::move(text).finish();
    EXPECT_EQ(value.description(), "ab1.5");
    EXPECT_EQ(value.attributes(), MetadataValueAttributes(A{1}, B{20}, C{3}));
}

TEST(StringInterpolationTest, OptionalUsesTheDefaultOnlyWhenAbsent) {
    int defaults = 0;
    auto fallback = [&] {
        ++defaults;
        return "none";
    };
    MetadataValue::StringInterpolation text(2, 2);
    text.appendInterpolation(std::optional<int>(4), fallback);
    text.appendLiteral(", ");
    text.appendInterpolation(std::optional<int>(), fallback);
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(std::move(text).finish(), MetadataValue("4, none"));
}

}  // namespace
