#include "mcp/server/prompt.hpp"

#include "mcp/server/prompt_methods.hpp"
#include "support/coding.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp {
namespace {

using platform::json::parse;
using testing_support::reencode;
using testing_support::written;

TEST(PromptTest, ReadsAndWritesPromptsInMemberOrder) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"NameOnly", R"({"name":"greet","extra":1})", R"({"name":"greet"})"},
        {"Full",
         R"({"_meta":{"a":1},"icons":[],"arguments":[{"required":false,"name":"who"},{"name":"tone","required":null,"title":"Tone"}],"description":"d","title":"Greet","name":"greet"})",
         R"({"name":"greet","title":"Greet","description":"d","arguments":[{"name":"who","required":false},{"name":"tone","title":"Tone"}],"icons":[],"_meta":{"a":1}})"},
        {"ArgumentWithoutName", R"({"name":"p","arguments":[{"title":"x"}]})", "keyNotFound"},
        {"RequiredNotBool", R"({"name":"p","arguments":[{"name":"a","required":"yes"}]})", "typeMismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Prompt>(c.json), c.written);
    }
    EXPECT_NE((Prompt::Argument{"a", std::nullopt, std::nullopt, false}), Prompt::Argument{"a"});
}

TEST(PromptTest, MessagesHaveARoleAndOneBlock) {
    EXPECT_EQ(reencode<Prompt::Message>(R"({"content":{"type":"text","text":"hi"},"role":"assistant"})"),
              R"({"role":"assistant","content":{"type":"text","text":"hi"}})");
    EXPECT_EQ(reencode<Prompt::Message>(R"({"content":{"type":"text","text":"hi"},"role":"system"})"),
              "dataCorrupted: Cannot initialize Role from invalid String value system");
    EXPECT_EQ(reencode<Prompt::Message>(R"({"content":{"type":"tool_use"},"role":"user"})"),
              "dataCorrupted: Unknown content type");
    auto user = Prompt::Message::user("hi");
    auto assistant = Prompt::Message::assistant("hi");
    EXPECT_EQ(written(user.toJSON()), R"({"role":"user","content":{"type":"text","text":"hi"}})");
    EXPECT_EQ(written(assistant.toJSON()), R"({"role":"assistant","content":{"type":"text","text":"hi"}})");
    EXPECT_NE(user, assistant);
}

TEST(PromptMethodsTest, ListParametersMayBeLeftOutAndGetParametersMayNot) {
    for (const char* params : {"", R"(,"params":null)", R"(,"params":{})"}) {
        SCOPED_TRACE(params);
        auto request = Request<ListPrompts>::fromJSON(
            parse(R"({"jsonrpc":"2.0","id":1,"method":"prompts/list")" + std::string(params) + "}"));
        EXPECT_EQ(request.params, CursorParameters());
    }
    auto get = [](std::string params) {
        return reencode<Request<GetPrompt>>(R"({"jsonrpc":"2.0","id":"a","method":"prompts/get")" + params + "}");
    };
    EXPECT_EQ(get(""), "dataCorrupted: Missing required params field");
    EXPECT_EQ(get(R"(,"params":{"name":"p","arguments":{"n":1}})"), "dataCorrupted: Invalid params field");
    EXPECT_EQ(get(R"(,"params":{"arguments":{"b":"2","a":"1"},"name":"p"})"),
              R"({"jsonrpc":"2.0","id":"a","method":"prompts/get","params":{"name":"p","arguments":{"a":"1","b":"2"}}})");
}

TEST(PromptMethodsTest, ResultsCarryWhatTheHandlerGave) {
    EXPECT_EQ(reencode<ListPrompts::Result>(R"({"prompts":[],"nextCursor":""})"), R"({"prompts":[],"nextCursor":""})");
    EXPECT_EQ(reencode<ListPrompts::Result>(R"({"nextCursor":"x"})"), "keyNotFound");
    EXPECT_EQ(reencode<GetPrompt::Result>(R"({"messages":[],"description":"d"})"), R"({"description":"d","messages":[]})");
    EXPECT_EQ(reencode<GetPrompt::Result>(R"({"description":"d"})"), "keyNotFound");
    EXPECT_EQ(reencode<GetPrompt::Result>(R"({"messages":[{"role":"user","content":{"type":"x"}}]})"),
              "dataCorrupted: Unknown content type");
    EXPECT_EQ(written(PromptListChangedNotification::message().toJSON()),
              R"({"jsonrpc":"2.0","method":"notifications/prompts/list_changed"})");
}

}  // namespace
}  // namespace mcp
