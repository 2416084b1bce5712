#include "mcp/base/content_block.hpp"

#include "mcp/client/sampling.hpp"
#include "mcp/server/prompt.hpp"
#include "support/coding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <unordered_set>

namespace mcp {
namespace {

using testing_support::reencode;
using testing_support::written;
using PromptContent = Prompt::Message::Content;
using ToolResultBlock = Sampling::ToolResultContent::ContentBlock;

// Both families read and write alike; only the unknown-tag text tells them apart.
TEST(ContentBlockTest, BothFamiliesReadAndWriteTheSameForms) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;  // "UNKNOWN" stands for the family's own unknown-tag error
    };
    const Case cases[] = {
        {"Text", R"({"text":"hi","type":"text"})", R"({"type":"text","text":"hi"})"},
        {"TextDropsOtherCasesMembers", R"({"type":"text","text":"t","data":"d","mimeType":"m","annotations":{}})",
         R"({"type":"text","text":"t"})"},
        {"ImageDataUncheckedBase64", R"({"type":"image","mimeType":"image/png","data":"%%not base64"})",
         R"({"type":"image","data":"%%not base64","mimeType":"image/png"})"},
        {"Audio", R"({"type":"audio","data":"AAA=","mimeType":"audio/wav"})",
         R"({"type":"audio","data":"AAA=","mimeType":"audio/wav"})"},
        {"ImageWithoutMimeType", R"({"type":"image","data":"x"})", "keyNotFound"},
        {"ResourceInOrder",
         R"({"_meta":{"k":1},"annotations":{"priority":1},"resource":{"uri":"file:///a","text":"t"},"type":"resource"})",
         R"({"type":"resource","resource":{"uri":"file:///a","text":"t"},"annotations":{"priority":1},"_meta":{"k":1}})"},
        {"ResourceNullAnnotations", R"({"type":"resource","resource":{"uri":"u"},"annotations":null})",
         R"({"type":"resource","resource":{"uri":"u"}})"},
        {"ResourceWithoutUri", R"({"type":"resource","resource":{"text":"t"}})", "keyNotFound"},
        {"ResourceBadAudience", R"({"type":"resource","resource":{"uri":"u"},"annotations":{"audience":["me"]}})",
         "dataCorrupted: Cannot initialize Audience from invalid String value me"},
        {"ResourceLinkDropsMeta",
         R"({"type":"resource_link","_meta":{"a":1},"annotations":{},"mimeType":"m","description":"d","title":"t","name":"n","uri":"u"})",
         R"({"type":"resource_link","uri":"u","name":"n","title":"t","description":"d","mimeType":"m","annotations":{}})"},
        {"ResourceLinkWithoutName", R"({"type":"resource_link","uri":"u"})", "keyNotFound"},
        {"CapitalisedTag", R"({"type":"Text","text":"t"})", "UNKNOWN"},
        {"CamelCaseTag", R"({"type":"resourceLink","uri":"u","name":"n"})", "UNKNOWN"},
        {"SamplingOnlyTag", R"({"type":"tool_use","id":"1","name":"n","input":{}})", "UNKNOWN"},
        {"NoTag", R"({"text":"t"})", "keyNotFound"},
        {"NumericTag", R"({"type":1,"text":"t"})", "typeMismatch"},
        {"NullText", R"({"type":"text","text":null})", "valueNotFound"},
        {"NotAnObject", R"("text")", "typeMismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto expect = [&](std::string unknown) {
            return std::string(c.written) == "UNKNOWN" ? "dataCorrupted: " + unknown : c.written;
        };
        EXPECT_EQ(reencode<PromptContent>(c.json), expect("Unknown content type"));
        EXPECT_EQ(reencode<ToolResultBlock>(c.json), expect("Unknown tool result content block type"));
    }
}

TEST(ContentBlockTest, TheUnknownTagErrorSitsAtType) {
    try {
        PromptContent::fromJSON(platform::json::parse(R"({"type":"video"})"));
        ADD_FAILURE() << "decoded";
    } catch (const platform::json::DecodingError& e) {
        EXPECT_EQ(e.codingPath, std::vector<std::string>{"type"});
    }
}

TEST(ContentBlockTest, OnlyPromptContentIsMadeFromAString) {
    PromptContent fromLiteral = "hello";
    std::string text = "hello";
    PromptContent fromString = text;
    EXPECT_EQ(fromLiteral, PromptContent::text("hello"));
    EXPECT_EQ(fromString, PromptContent(PromptContent::Text{"hello"}));
    EXPECT_EQ(written(fromLiteral.toJSON()), R"({"type":"text","text":"hello"})");
    static_assert(std::is_convertible_v<const char*, PromptContent>);
    static_assert(!std::is_convertible_v<const char*, ToolResultBlock>);
    static_assert(!std::is_convertible_v<std::string, ToolResultBlock>);
}

TEST(ContentBlockTest, EqualityAndHashingFollowTheCaseAndEveryMember) {
    auto link = PromptContent(PromptContent::ResourceLink{"u", "n"});
    auto titled = PromptContent(PromptContent::ResourceLink{"u", "n", "t"});
    std::unordered_set<PromptContent> blocks{PromptContent::text("x"), PromptContent::image("x", "m"),
                                             PromptContent::audio("x", "m"), link, titled};
    EXPECT_EQ(blocks.size(), 5u);
    EXPECT_NE(PromptContent::image("x", "m"), PromptContent::audio("x", "m"));
    EXPECT_EQ(blocks.count(PromptContent(PromptContent::ResourceLink{"u", "n", "t"})), 1u);
}

}  // namespace
}  // namespace mcp
