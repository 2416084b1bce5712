#include "mcp/client/elicitation.hpp"

#include "support/coding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace mcp {
namespace {

using platform::json::parse;
using testing_support::reencode;
using testing_support::written;
using Parameters = CreateElicitation::Parameters;
using Form = Parameters::FormParameters;
using URL = Parameters::URLParameters;

TEST(ElicitationTest, ModeChoosesTheFormOfTheParameters) {
    const std::string schema = R"("requestedSchema":{"properties":{},"type":"object"})";
    struct Case {
        const char* name;
        std::string json;
        std::string written;
        int index;  // 0 form, 1 url
    };
    const Case cases[] = {
        {"NoModeIsAFormWithoutMode", R"({"message":"m",)" + schema + R"(,"url":"u","elicitationId":"e"})",
         R"({"message":"m",)" + schema + "}", 0},
        {"NullMode", R"({"message":"m","mode":null,)" + schema + "}", R"({"message":"m",)" + schema + "}", 0},
        {"ExplicitFormKeepsMode", R"({"_meta":{},"mode":"form","message":"m",)" + schema + "}",
         R"({"message":"m","mode":"form",)" + schema + R"(,"_meta":{}})", 0},
        {"Url", R"({"elicitationId":"e1","url":"https://x.test/a?b=c","mode":"url","message":"m",)" + schema + "}",
         R"({"message":"m","mode":"url","url":"https://x.test/a?b=c","elicitationId":"e1"})", 1},
        {"UrlWithoutId", R"({"mode":"url","message":"m","url":"u"})", "keyNotFound", 0},
        {"UrlWithSchemaButNoUrl", R"({"mode":"url","message":"m","elicitationId":"e",)" + schema + "}", "keyNotFound", 0},
        {"FormWithoutSchema", R"({"mode":"form","message":"m"})", "keyNotFound", 0},
        {"UnknownMode", R"({"mode":"URL","message":"m",)" + schema + "}",
         "dataCorrupted: Cannot initialize Mode from invalid String value URL", 0},
        {"NoMessage", "{" + schema + "}", "keyNotFound", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Parameters>(c.json), c.written);
        if (c.written.starts_with("{")) EXPECT_EQ(Parameters::fromJSON(parse(c.json)).value.index(), c.index);
    }
}

TEST(ElicitationTest, AbsentAndExplicitFormModesDiffer) {
    Elicitation::RequestSchema schema;
    Parameters absent = Form{"m", std::nullopt, schema};
    Parameters explicitForm = Form{"m", Elicitation::Mode::form, schema};
    EXPECT_NE(absent, explicitForm);
    std::unordered_set<Parameters> set{absent, explicitForm, URL("m", "u", "e")};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(written(URL("m", "u", "e").toJSON()), R"({"message":"m","mode":"url","url":"u","elicitationId":"e"})");
}

TEST(ElicitationTest, RecordsOnTheirOwnHaveTheirOwnModeRules) {
    // The URL record needs a mode but takes either; the form record takes none.
    EXPECT_EQ(reencode<URL>(R"({"message":"m","mode":"form","url":"u","elicitationId":"e"})"),
              R"({"message":"m","mode":"form","url":"u","elicitationId":"e"})");
    EXPECT_EQ(reencode<URL>(R"({"message":"m","url":"u","elicitationId":"e"})"), "keyNotFound");
    EXPECT_EQ(reencode<Form>(R"({"message":"m","requestedSchema":{"properties":{},"type":"object"}})"),
              R"({"message":"m","requestedSchema":{"properties":{},"type":"object"}})");
}

TEST(ElicitationTest, SchemasNeedPropertiesAndTheObjectType) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"Full",
         R"({"type":"object","required":["name"],"properties":{"name":{"type":"string"}},"description":"d","title":"t"})",
         R"({"title":"t","description":"d","properties":{"name":{"type":"string"}},"required":["name"],"type":"object"})"},
        {"RequiredNamesUnchecked", R"({"properties":{},"required":["ghost"],"type":"object"})",
         R"({"properties":{},"required":["ghost"],"type":"object"})"},
        {"OtherType", R"({"properties":{},"type":"array"})",
         "dataCorrupted: Cannot initialize SchemaType from invalid String value array"},
        {"NoType", R"({"properties":{}})", "keyNotFound"},
        {"NoProperties", R"({"type":"object"})", "keyNotFound"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Elicitation::RequestSchema>(c.json), c.written);
    }
}

TEST(ElicitationTest, ResultsCarryAnActionAndWhateverContent) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"AcceptOnly", R"({"action":"accept"})", R"({"action":"accept"})"},
        {"DeclineWithContent", R"({"_meta":{"a":1},"content":{"n":5,"ok":true},"action":"decline"})",
         R"({"action":"decline","content":{"n":5,"ok":true},"_meta":{"a":1}})"},
        {"Cancel", R"({"action":"cancel","content":null})", R"({"action":"cancel"})"},
        {"UnknownAction", R"({"action":"dismiss"})", "dataCorrupted: Cannot initialize Action from invalid String value dismiss"},
        {"NoAction", R"({"content":{}})", "keyNotFound"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<CreateElicitation::Result>(c.json), c.written);
    }
}

TEST(ElicitationTest, TheCompletionNotificationNamesItsElicitation) {
    auto message = ElicitationCompleteNotification::message({"e1"});
    EXPECT_EQ(written(message.toJSON()),
              R"({"jsonrpc":"2.0","method":"notifications/elicitation/complete","params":{"elicitationId":"e1"}})");
    EXPECT_EQ(reencode<ElicitationCompleteNotification::Parameters>("{}"), "keyNotFound");
}

}  // namespace
}  // namespace mcp
