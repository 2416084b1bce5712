#include "mcp/server/tool.hpp"

#include "mcp/server/call_tool.hpp"
#include "mcp/server/list_tools.hpp"
#include "mcp/server/tool_list_changed_notification.hpp"
#include "platform/json/decoding_error.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using platform::json::DecodingError;

// The text of `value` written in member order (as an insertion-order encoder would).
template <class T>
std::string inOrder(const T& value) {
    return platform::json::write(value.toJSON(), {.escapeSlashes = false});
}

// The description of the DecodingError that reading `text` as a T throws, or "decoded".
template <class T>
std::string decodeFailure(std::string_view text) {
    try {
        T::fromJSON(json(text));
    } catch (const DecodingError& e) {
        return e.description;
    }
    return "decoded";
}

Tool sampleTool() {
    return Tool("sign", std::nullopt, std::nullopt, Value::object({{"type", "object"}}));
}

TEST(ToolTest, WritesTheDescriptionAlwaysAndAnnotationsOnlyWhenSet) {
    struct Case {
        const char* name;
        std::function<Tool()> make;
        std::string written;
    };
    const Case cases[] = {
        {"Bare", sampleTool, R"({"name":"sign","description":null,"inputSchema":{"type":"object"}})"},
        {"Everything",
         [] {
             Tool tool("sign", "Sign", "Signs a PDF", Value::object({}), Tool::Annotations("Signer", true),
                       Value::object({{"type", "object"}}), std::vector<Icon>{Icon{"https://x/i.png"}},
                       Metadata(Value::Object{{"k", 1}}));
             return tool;
         },
         R"({"name":"sign","title":"Sign","description":"Signs a PDF","inputSchema":{},"outputSchema":{"type":"object"},)"
         R"("annotations":{"title":"Signer","readOnlyHint":true},"icons":[{"src":"https://x/i.png"}],"_meta":{"k":1}})"},
        {"OnlyAFalseHint",
         [] {
             auto tool = sampleTool();
             tool.annotations.readOnlyHint = false;
             return tool;
         },
         R"({"name":"sign","description":null,"inputSchema":{"type":"object"},"annotations":{"readOnlyHint":false}})"},
        {"AllHintsInMemberOrder",
         [] {
             auto tool = sampleTool();
             tool.annotations = Tool::Annotations(std::nullopt, true, false, true, false);
             return tool;
         },
         R"({"name":"sign","description":null,"inputSchema":{"type":"object"},)"
         R"("annotations":{"destructiveHint":false,"idempotentHint":true,"openWorldHint":false,"readOnlyHint":true}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto tool = c.make();
        EXPECT_EQ(inOrder(tool), c.written);
        EXPECT_EQ(Tool::fromJSON(json(c.written)), tool);
    }
}

TEST(ToolTest, ReadsMissingOrNullMembersAsAbsent) {
    auto tool = Tool::fromJSON(json(R"({"name":"t","inputSchema":null,"description":null,"annotations":null,"x":1})"));
    EXPECT_EQ(tool.description, std::nullopt);
    EXPECT_TRUE(tool.annotations.isEmpty());
    EXPECT_EQ(tool.annotations, Tool::Annotations(nullptr));
    EXPECT_TRUE(tool.inputSchema.isNull());
    EXPECT_EQ(decodeFailure<Tool>(R"({"name":"t"})"), R"(No value associated with key "inputSchema".)");
    EXPECT_NE(decodeFailure<Tool>(R"({"inputSchema":{}})"), "decoded");
    EXPECT_NE(decodeFailure<Tool>(R"({"name":"t","inputSchema":{},"annotations":{"readOnlyHint":"yes"}})"), "decoded");
}

TEST(ToolTest, AFalseHintIsNotAnAbsentOne) {
    auto absent = sampleTool();
    auto falseHint = sampleTool();
    falseHint.annotations.destructiveHint = false;
    EXPECT_NE(absent, falseHint);
    EXPECT_FALSE(falseHint.annotations.isEmpty());
    EXPECT_FALSE(Tool::Annotations("only a title").isEmpty());
}

TEST(ToolContentTest, WritesEachCaseWithItsTagAndReadsItBack) {
    Resource::Annotations annotations;
    annotations.audience = std::vector{Resource::Annotations::Audience::user};
    struct Case {
        const char* name;
        Tool::Content content;
        std::string written;
    };
    const Case cases[] = {
        {"Text", Tool::Content::text("hi"), R"({"type":"text","text":"hi"})"},
        {"TextWithMeta", Tool::Content::text("hi", Metadata(Value::Object{{"a", 1}})),
         R"({"type":"text","text":"hi","_meta":{"a":1}})"},
        {"Image", Tool::Content::image("iVBO", "image/png"), R"({"type":"image","data":"iVBO","mimeType":"image/png"})"},
        {"Audio", Tool::Content::audio("UklG", "audio/wav"), R"({"type":"audio","data":"UklG","mimeType":"audio/wav"})"},
        {"Resource",
         Tool::Content::Resource{Resource::Content::text_("body", "file:///a.txt"), annotations, std::nullopt},
         R"({"type":"resource","resource":{"uri":"file:///a.txt","text":"body"},"annotations":{"audience":["user"]}})"},
        {"ResourceLink", Tool::Content::ResourceLink{"file:///b", "b", std::nullopt, "B", "text/plain", std::nullopt},
         R"({"type":"resource_link","uri":"file:///b","name":"b","description":"B","mimeType":"text/plain"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inOrder(c.content), c.written);
        EXPECT_EQ(Tool::Content::fromJSON(json(c.written)), c.content);
    }
}

TEST(ToolContentTest, RefusesUnknownTagsAndIncompleteBlocks) {
    struct Case {
        const char* name;
        std::string text;
        std::string failure;
    };
    const Case cases[] = {
        {"UnknownTag", R"({"type":"video","data":"x"})", "Unknown tool content type"},
        {"TagInOtherCase", R"({"type":"Text","text":"x"})", "Unknown tool content type"},
        {"NoTag", R"({"text":"x"})", R"(No value associated with key "type".)"},
        {"ImageWithoutMimeType", R"({"type":"image","data":"x"})", R"(No value associated with key "mimeType".)"},
        {"LinkWithoutName", R"({"type":"resource_link","uri":"u"})", R"(No value associated with key "name".)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeFailure<Tool::Content>(c.text), c.failure);
    }
    try {
        Tool::Content::fromJSON(json(R"({"type":"video"})"));
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind, DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(e.codingPath, std::vector<std::string>{"type"});
    }
}

TEST(ToolContentTest, AResourceLinkDropsMeta) {
    auto link = Tool::Content::fromJSON(json(R"({"type":"resource_link","uri":"u","name":"n","_meta":{"a":1}})"));
    EXPECT_EQ(inOrder(link), R"({"type":"resource_link","uri":"u","name":"n"})");
}

TEST(ListToolsTest, ParametersMayBeLeftOut) {
    for (const char* params : {"", R"(,"params":null)", R"(,"params":{})"}) {
        SCOPED_TRACE(params);
        auto request = Request<ListTools>::fromJSON(json(R"({"jsonrpc":"2.0","id":1,"method":"tools/list")" +
                                                         std::string(params) + "}"));
        EXPECT_EQ(request.params, ListTools::Parameters());
    }
    auto paged = Request<ListTools>::fromJSON(json(R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{"cursor":"c"}})"));
    EXPECT_EQ(paged.params, ListTools::Parameters("c"));
    EXPECT_NE(decodeFailure<Request<ListTools>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{"cursor":3}})"),
              "Invalid params field");
}

TEST(ListToolsTest, ResultAlwaysWritesItsTools) {
    EXPECT_EQ(inOrder(ListTools::Result{}), R"({"tools":[]})");
    ListTools::Result result{{sampleTool()}, "next", Metadata()};
    EXPECT_EQ(inOrder(result),
              R"({"tools":[{"name":"sign","description":null,"inputSchema":{"type":"object"}}],"nextCursor":"next","_meta":{}})");
    EXPECT_EQ(ListTools::Result::fromJSON(json(inOrder(result))), result);
    EXPECT_EQ(decodeFailure<ListTools::Result>("{}"), R"(No value associated with key "tools".)");
}

TEST(CallToolTest, ParametersAreRequiredButArgumentsAreNot) {
    EXPECT_EQ(decodeFailure<Request<CallTool>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})"),
              "Missing required params field");
    EXPECT_EQ(decodeFailure<Request<CallTool>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"arguments":{}}})"),
              "Invalid params field");
    auto request = Request<CallTool>::fromJSON(json(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"sign"}})"));
    EXPECT_EQ(request.params.name, "sign");
    EXPECT_EQ(request.params.arguments, std::nullopt);

    CallTool::Parameters full("sign", std::map<std::string, Value>{{"page", 2}}, Metadata(Value::Object{{"progressToken", "p"}}));
    EXPECT_EQ(inOrder(full), R"({"_meta":{"progressToken":"p"},"name":"sign","arguments":{"page":2}})");
    EXPECT_EQ(CallTool::Parameters::fromJSON(json(inOrder(full))), full);
}

struct Signed {
    std::string path;
    int pages;
    boost::json::value toJSON() const { return boost::json::object{{"path", path}, {"pages", pages}}; }
    static Signed fromJSON(const boost::json::value& json) {
        const auto& object = platform::json::asObject(json);
        return {platform::json::required<std::string>(object, "path"), platform::json::required<int>(object, "pages")};
    }
};

TEST(CallToolTest, ResultKeepsFalseAndStructuredContentApart) {
    struct Case {
        const char* name;
        CallTool::Result result;
        std::string written;
    };
    const Case cases[] = {
        {"Empty", CallTool::Result({}), R"({"content":[]})"},
        {"IsErrorFalse", CallTool::Result({Tool::Content::text("ok")}, std::nullopt, false),
         R"({"content":[{"type":"text","text":"ok"}],"isError":false})"},
        {"IsErrorTrue", CallTool::Result({Tool::Content::text("no")}, std::nullopt, true),
         R"({"content":[{"type":"text","text":"no"}],"isError":true})"},
        {"Structured", CallTool::Result({}, Signed{"/tmp/a.pdf", 2}),
         R"({"content":[],"structuredContent":{"pages":2,"path":"/tmp/a.pdf"}})"},
        {"StructuredKeepsContent", CallTool::Result({Tool::Content::text("t")}, Signed{"p", 1}, false, Metadata()),
         R"({"content":[{"type":"text","text":"t"}],"structuredContent":{"pages":1,"path":"p"},"isError":false,"_meta":{}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inOrder(c.result), c.written);
        EXPECT_EQ(CallTool::Result::fromJSON(json(c.written)), c.result);
    }
    EXPECT_NE(CallTool::Result({}, std::nullopt, false), CallTool::Result({}));
    EXPECT_EQ(decodeFailure<CallTool::Result>(R"({"isError":true})"), R"(No value associated with key "content".)");
}

TEST(ToolListChangedNotificationTest, IsWrittenWithoutParams) {
    EXPECT_EQ(inOrder(ToolListChangedNotification::message()),
              R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})");
    EXPECT_EQ(inOrder(ToolListChangedNotification{}), "{}");
    EXPECT_EQ(ToolListChangedNotification::fromJSON(json(R"({"anything":1})")), ToolListChangedNotification{});
}

}  // namespace
}  // namespace mcp::test
