#include "mcp/server/detail/result_text.hpp"

#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace mcp {
namespace {

std::string direct(const ListTools::Result& result) {
    std::string out;
    platform::json::TextWriter writer(out, false);
    detail::writeResultAsValue(writer, result);
    writer.finish();
    return out;
}

/// The road it stands in for: the result's JSON, read as a Value, written sorted.
std::string throughJSON(const ListTools::Result& result) {
    return platform::json::write(Value::fromJSON(result.toJSON()).toJSON(), {.sortedKeys = true, .escapeSlashes = false});
}

template <class F>
std::string thrown(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

Tool fullTool() {
    Tool tool("data:,named", "Sign/Seal", "Signs one PDF at /inbox",
              Value::object({{"type", "object"}, {"maximum", 3.0}, {"default", Value::data("image/png", "\x89PNG")},
                             {"enum", Value::array({"data:,a", 1e18, 0.5, Value()})}}),
              Tool::Annotations("Title", true, false, std::nullopt, true),
              Value::object({{"type", "string"}}),
              std::vector<Icon>{Icon{"https://x/i.png", "image/png", std::vector<std::string>{"48x48"}, Icon::Theme::dark}},
              Metadata(Value::Object{{"z", 1.0}, {"a/b", "data:,x"}}));
    return tool;
}

TEST(ResultTextTest, WritesToolListsAsTheirJSONReadAsAValue) {
    Tool bare("bare", std::nullopt, std::nullopt, Value::object({}));
    Tool titledOnly("titled", std::nullopt, "d", Value());
    titledOnly.annotations.title = "only a title";
    const ListTools::Result results[] = {
        ListTools::Result{},
        ListTools::Result{{bare}},
        ListTools::Result{{fullTool(), bare, titledOnly}, "data:,next", Metadata(Value::Object{{"k", Value::array({})}})},
        ListTools::Result{{titledOnly}, std::nullopt, Metadata()},
    };
    for (const auto& result : results) {
        auto expected = throughJSON(result);
        SCOPED_TRACE(expected);
        EXPECT_EQ(direct(result), expected);
    }
}

// Members are written in key order and built in member order; a result holding two refused numbers
// must fail as its building does.
TEST(ResultTextTest, RefusesAsTheJSONBuildingDoes) {
    const double inf = std::numeric_limits<double>::infinity();
    Tool tool("t", std::nullopt, std::nullopt, Value::object({{"x", inf}}));
    tool.meta = Metadata(Value::Object{{"y", std::nan("")}});
    ListTools::Result result{{tool}};
    auto expected = thrown([&] { (void)result.toJSON(); });
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(thrown([&] { (void)direct(result); }), expected);
}

// The text of the last list is used again for an equal list only: a change anywhere, or the other
// escaping of "/", writes the list anew.
TEST(ResultTextTest, AnEqualListTakesTheLastListsText) {
    const ListTools::Result first{{fullTool()}};
    const auto text = direct(first);
    ASSERT_EQ(text, throughJSON(first));
    EXPECT_EQ(direct(ListTools::Result{{fullTool()}}), text);

    auto described = first;
    described.tools[0].description = "Signs two PDFs at /inbox";
    auto deeper = first;
    deeper.tools[0].inputSchema = Value::object({{"type", "object"}, {"maximum", 4.0}});
    auto paged = first;
    paged.nextCursor = "2";
    for (const auto& changed : {described, deeper, paged}) {
        EXPECT_EQ(direct(changed), throughJSON(changed));
        EXPECT_EQ(direct(first), text);
    }

    std::string escaped;
    platform::json::TextWriter writer(escaped, true);
    detail::writeResultAsValue(writer, first);
    writer.finish();
    EXPECT_EQ(escaped, platform::json::write(Value::fromJSON(first.toJSON()).toJSON(), {.sortedKeys = true}));
    EXPECT_EQ(direct(first), text);
}

}  // namespace
}  // namespace mcp
