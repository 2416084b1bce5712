#include "mcp/server/complete.hpp"

#include "support/coding.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp {
namespace {

using platform::json::parse;
using testing_support::reencode;
using testing_support::written;

TEST(CompletionReferenceTest, TheTagChoosesTheReference) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"Prompt", R"({"name":"greet","type":"ref/prompt"})", R"({"type":"ref/prompt","name":"greet"})"},
        {"PromptWithTitle", R"({"title":"G","name":"greet","type":"ref/prompt"})",
         R"({"type":"ref/prompt","name":"greet","title":"G"})"},
        {"Resource", R"({"uri":"file:///{x}","type":"ref/resource"})", R"({"type":"ref/resource","uri":"file:///{x}"})"},
        {"ResourceWithoutUri", R"({"type":"ref/resource"})", "keyNotFound"},
        {"UnknownTag", R"({"type":"ref/Prompt","name":"n"})", "dataCorrupted: Unknown reference type: ref/Prompt"},
        {"EmptyTag", R"({"type":"","name":"n"})", "dataCorrupted: Unknown reference type: "},
        {"NoTag", R"({"name":"n"})", "keyNotFound"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<CompletionReference>(c.json), c.written);
    }
}

TEST(CompletionReferenceTest, TheReferencesOnTheirOwnTreatTheTagDifferently) {
    EXPECT_EQ(reencode<Prompt::Reference>(R"({"type":"ref/resource","name":"n"})"), R"({"type":"ref/prompt","name":"n"})");
    EXPECT_EQ(reencode<Prompt::Reference>(R"({"name":"n"})"), "keyNotFound");
    EXPECT_EQ(reencode<ResourceReference>(R"({"type":"ref/prompt","uri":"u"})"),
              "dataCorrupted: Expected ref/resource type");
    try {
        ResourceReference::fromJSON(parse(R"({"type":"ref/prompt","uri":"u"})"));
    } catch (const platform::json::DecodingError& e) {
        EXPECT_EQ(e.codingPath, std::vector<std::string>{"type"});
    }
}

TEST(CompleteTest, ParametersNeedReferenceAndArgument) {
    const std::string ref = R"("ref":{"type":"ref/prompt","name":"p"})";
    struct Case {
        const char* name;
        std::string json;
        std::string written;
    };
    const Case cases[] = {
        {"NoContext", "{" + ref + R"(,"argument":{"value":"Jo","name":"who"}})",
         "{" + ref + R"(,"argument":{"name":"who","value":"Jo"}})"},
        {"NullContext", "{" + ref + R"(,"argument":{"name":"a","value":""},"context":null})",
         "{" + ref + R"(,"argument":{"name":"a","value":""}})"},
        {"Context", "{" + ref + R"(,"argument":{"name":"a","value":""},"context":{"arguments":{"lang":"en"}}})",
         "{" + ref + R"(,"argument":{"name":"a","value":""},"context":{"arguments":{"lang":"en"}}})"},
        {"EmptyContext", "{" + ref + R"(,"argument":{"name":"a","value":""},"context":{}})", "keyNotFound"},
        {"ContextNumber", "{" + ref + R"(,"argument":{"name":"a","value":""},"context":{"arguments":{"n":1}}})",
         "typeMismatch"},
        {"ArgumentWithoutValue", "{" + ref + R"(,"argument":{"name":"a"}})", "keyNotFound"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Complete::Parameters>(c.json), c.written);
    }
    EXPECT_EQ(reencode<Request<Complete>>(R"({"jsonrpc":"2.0","id":1,"method":"completion/complete"})"),
              "dataCorrupted: Missing required params field");
}

TEST(CompleteTest, ResultsPassTheirCountsThroughUnchecked) {
    EXPECT_EQ(reencode<Complete::Result>(R"({"completion":{"values":[]}})"), R"({"completion":{"values":[]}})");
    EXPECT_EQ(reencode<Complete::Result>(R"({"_meta":{},"completion":{"hasMore":true,"total":1,"values":["a","b"]}})"),
              R"({"completion":{"values":["a","b"],"total":1,"hasMore":true},"_meta":{}})");
    EXPECT_EQ(reencode<Complete::Result>(R"({"completion":{"values":[],"total":2.5}})"), "typeMismatch");

    Complete::Result many{{std::vector<std::string>(500, "v")}};
    EXPECT_EQ(Complete::Result::fromJSON(parse(written(many.toJSON()))), many);
}

}  // namespace
}  // namespace mcp
