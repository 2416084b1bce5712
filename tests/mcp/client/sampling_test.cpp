#include "mcp/client/sampling.hpp"

#include "mcp/base/messages.hpp"
#include "mcp/client/create_sampling_message.hpp"
#include "support/coding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace mcp {
namespace {

using platform::json::parse;
using testing_support::reencode;
using testing_support::written;
using Content = Sampling::Message::Content;
using Block = Content::ContentBlock;
using Parameters = CreateSamplingMessage::Parameters;
using Result = CreateSamplingMessage::Result;
using ToolChoice = CreateSamplingMessage::ToolChoice;

TEST(SamplingContentTest, ReadsAnArrayFirstThenOneBlock) {
    struct Case {
        const char* name;
        std::string_view json;
        bool single;
        std::string written;
    };
    const Case cases[] = {
        {"ArrayOfOneIsSingle", R"([{"type":"text","text":"a"}])", true, R"({"type":"text","text":"a"})"},
        {"EmptyArrayIsMultiple", "[]", false, "[]"},
        {"TwoBlocksKeepTheirOrder", R"([{"type":"text","text":"b"},{"type":"image","data":"d","mimeType":"m"}])",
         false, R"([{"type":"text","text":"b"},{"type":"image","data":"d","mimeType":"m"}])"},
        {"BareObject", R"({"type":"audio","mimeType":"m","data":"d"})", true,
         R"({"type":"audio","data":"d","mimeType":"m"})"},
        {"String", R"("text")", false, "typeMismatch"},
        {"Number", "5", false, "typeMismatch"},
        // The element's own error is dropped: the value is then read as one block.
        {"ArrayWithAnUnknownTag", R"([{"type":"text","text":"a"},{"type":"resource","resource":{"uri":"u"}}])", false,
         "typeMismatch"},
        {"ObjectWithAnUnknownTag", R"({"type":"resource","resource":{"uri":"u"}})", false,
         "dataCorrupted: Unknown sampling message content block type"},
        {"CapitalisedTag", R"({"type":"Text","text":"a"})", false,
         "dataCorrupted: Unknown sampling message content block type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Content>(c.json), c.written);
        if (c.written.starts_with("[") || c.written.starts_with("{")) {
            EXPECT_EQ(Content::fromJSON(parse(c.json)).isSingle(), c.single);
        }
    }
}

TEST(SamplingContentTest, AnArrayOfOneBuiltInCodeReadsBackAsADifferentSingle) {
    Content multiple(std::vector<Block>{Block(content::Text{"a"})});
    EXPECT_EQ(written(multiple.toJSON()), R"([{"type":"text","text":"a"}])");
    auto back = Content::fromJSON(multiple.toJSON());
    EXPECT_TRUE(back.isSingle());
    EXPECT_NE(back, multiple);
    EXPECT_EQ(back, Content("a"));
    EXPECT_EQ(back.asArray(), multiple.asArray());
    EXPECT_NE(std::hash<Content>{}(back), std::hash<Content>{}(multiple));
}

TEST(SamplingContentTest, ToolBlocksSitFlatBesideTheirTag) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"ToolUse", R"({"type":"tool_use","input":{"q":[1,2]},"name":"search","id":"c1","_meta":{"m":true}})",
         R"({"type":"tool_use","id":"c1","name":"search","input":{"q":[1,2]},"_meta":{"m":true}})"},
        {"ToolUseEmptyInput", R"({"type":"tool_use","id":"c1","name":"n","input":{}})",
         R"({"type":"tool_use","id":"c1","name":"n","input":{}})"},
        {"ToolUseWithoutInput", R"({"type":"tool_use","id":"c1","name":"n"})", "keyNotFound"},
        {"ToolUseInputNotObject", R"({"type":"tool_use","id":"c1","name":"n","input":[]})", "typeMismatch"},
        {"ToolResult",
         R"({"type":"tool_result","isError":false,"structuredContent":{"n":1},"content":[{"type":"text","text":"ok"}],"toolUseId":"c1"})",
         R"({"type":"tool_result","toolUseId":"c1","content":[{"type":"text","text":"ok"}],"structuredContent":{"n":1},"isError":false})"},
        {"ToolResultEmptyContentNoIsError", R"({"type":"tool_result","toolUseId":"c1","content":[],"isError":null})",
         R"({"type":"tool_result","toolUseId":"c1","content":[]})"},
        {"ToolResultSingleObjectContent", R"({"type":"tool_result","toolUseId":"c1","content":{"type":"text","text":"x"}})",
         "typeMismatch"},
        {"ToolResultHoldingToolUse",
         R"({"type":"tool_result","toolUseId":"c1","content":[{"type":"tool_use","id":"1","name":"n","input":{}}]})",
         "dataCorrupted: Unknown tool result content block type"},
        {"ToolResultHoldingResource",
         R"({"type":"tool_result","toolUseId":"c1","content":[{"type":"resource","resource":{"uri":"u","blob":"AA=="}}]})",
         R"({"type":"tool_result","toolUseId":"c1","content":[{"type":"resource","resource":{"uri":"u","blob":"AA=="}}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Block>(c.json), c.written);
    }
    // On their own the payloads have no tag.
    EXPECT_EQ(reencode<Sampling::ToolUseContent>(R"({"type":"x","id":"1","name":"n","input":{}})"),
              R"({"id":"1","name":"n","input":{}})");
    EXPECT_EQ(reencode<Sampling::ToolResultContent>(R"({"toolUseId":"1","content":[],"isError":true})"),
              R"({"toolUseId":"1","content":[],"isError":true})");
}

TEST(SamplingMessageTest, ReadsRoleContentAndMeta) {
    EXPECT_EQ(reencode<Sampling::Message>(R"({"_meta":{},"content":"x","role":"user"})"), "typeMismatch");
    EXPECT_EQ(reencode<Sampling::Message>(R"({"content":[{"type":"text","text":"x"}],"role":"assistant","_meta":{}})"),
              R"({"role":"assistant","content":{"type":"text","text":"x"},"_meta":{}})");
    EXPECT_EQ(reencode<Sampling::Message>(R"({"content":{"type":"text","text":"x"},"role":"User"})"),
              "dataCorrupted: Cannot initialize Role from invalid String value User");
    EXPECT_EQ(reencode<Sampling::Message>(R"({"role":"user"})"), "keyNotFound");
    auto user = Sampling::Message::user("hi");
    auto assistant = Sampling::Message::assistant("hi");
    EXPECT_EQ(written(user.toJSON()), R"({"role":"user","content":{"type":"text","text":"hi"}})");
    EXPECT_NE(user, assistant);
    EXPECT_EQ(user.content, assistant.content);
}

TEST(CreateSamplingMessageTest, WritesOnlyWhatIsPresentInMemberOrder) {
    Parameters minimal{{Sampling::Message::user("hi")}};
    minimal.maxTokens = 100;
    EXPECT_EQ(written(minimal.toJSON()),
              R"({"messages":[{"role":"user","content":{"type":"text","text":"hi"}}],"maxTokens":100})");

    Parameters full = minimal;
    full.modelPreferences = Sampling::ModelPreferences{{{Sampling::ModelPreferences::Hint{"claude"},
                                                         Sampling::ModelPreferences::Hint{}}},
                                                       UnitInterval(1),
                                                       std::nullopt,
                                                       UnitInterval(0.25)};
    full.systemPrompt = "be brief";
    full.includeContext = Sampling::ContextInclusion::thisServer;
    full.temperature = 7.0;
    full.stopSequences = std::vector<std::string>{};
    full.meta = Metadata();
    full.tools = std::vector<Tool>{};
    full.toolChoice = ToolChoice{ToolChoice::Mode::auto_};
    full.metadata = Value::Object{{"k", "v"}};
    EXPECT_EQ(written(full.toJSON()),
              R"({"messages":[{"role":"user","content":{"type":"text","text":"hi"}}],)"
              R"("modelPreferences":{"hints":[{"name":"claude"},{}],"costPriority":1,"intelligencePriority":0.25},)"
              R"("systemPrompt":"be brief","includeContext":"thisServer","temperature":7,"maxTokens":100,)"
              R"("stopSequences":[],"_meta":{},"tools":[],"toolChoice":{},"metadata":{"k":"v"}})");
    EXPECT_EQ(Parameters::fromJSON(full.toJSON()), full);
}

TEST(CreateSamplingMessageTest, ReadsParametersStrictlyWhereTheyAreClosed) {
    const std::string messages = R"("messages":[{"role":"user","content":{"type":"text","text":"hi"}}])";
    struct Case {
        const char* name;
        std::string members;
        std::string outcome;  // "same": written back unchanged
    };
    const Case cases[] = {
        {"ZeroTokens", R"("maxTokens":0)", "same"},
        {"NegativeTokens", R"("maxTokens":-5)", "same"},
        {"FractionalTokens", R"("maxTokens":1.5)", "typeMismatch"},
        {"NoTokens", R"("temperature":1)", "keyNotFound"},
        {"PrioritiesAtTheEnds", R"("modelPreferences":{"costPriority":0,"speedPriority":1},"maxTokens":1)", "same"},
        {"PriorityAboveOne", R"("modelPreferences":{"costPriority":1.5},"maxTokens":1)",
         "dataCorrupted: Value 1.5 is not in range 0...1"},
        {"PriorityBelowZero", R"("modelPreferences":{"speedPriority":-0.1},"maxTokens":1)",
         "dataCorrupted: Value -0.1 is not in range 0...1"},
        {"PriorityTwo", R"("modelPreferences":{"intelligencePriority":2},"maxTokens":1)",
         "dataCorrupted: Value 2.0 is not in range 0...1"},
        {"IncludeContextCase", R"("includeContext":"ThisServer","maxTokens":1)",
         "dataCorrupted: Cannot initialize ContextInclusion from invalid String value ThisServer"},
        {"AllServers", R"("includeContext":"allServers","maxTokens":1)", "same"},
        {"NullSystemPrompt", R"("systemPrompt":null,"maxTokens":1)", R"("maxTokens":1)"},
        {"NullToolChoice", R"("maxTokens":1,"toolChoice":null)", R"("maxTokens":1)"},
        {"EmptyToolChoice", R"("maxTokens":1,"toolChoice":{})", "same"},
        {"ToolChoiceNone", R"("maxTokens":1,"toolChoice":{"mode":"none"})", "same"},
        {"ToolChoiceRequired", R"("maxTokens":1,"toolChoice":{"mode":"required"})", "same"},
        {"ToolChoiceAuto", R"("maxTokens":1,"toolChoice":{"mode":"auto"})", R"("maxTokens":1,"toolChoice":{})"},
        {"ToolChoiceUnknown", R"("maxTokens":1,"toolChoice":{"mode":"any"})",
         "dataCorrupted: Cannot initialize Mode from invalid String value any"},
        {"Tools", R"("maxTokens":1,"tools":[{"name":"t","description":null,"inputSchema":{"type":"object"}}])", "same"},
        {"ToolWithoutSchema", R"("maxTokens":1,"tools":[{"name":"t"}])", "keyNotFound"},
        {"MetadataNotObject", R"("maxTokens":1,"metadata":[1])", "typeMismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = "{" + messages + "," + c.members + "}";
        std::string expected = c.outcome == "same" ? text
                               : c.outcome.starts_with("\"") ? "{" + messages + "," + c.outcome + "}"
                                                             : c.outcome;
        EXPECT_EQ(reencode<Parameters>(text), expected);
    }
    auto choice = ToolChoice::fromJSON(parse("{}"));
    EXPECT_EQ(choice.mode, ToolChoice::Mode::auto_);
}

TEST(CreateSamplingMessageTest, RequestsAlwaysCarryTheirParameters) {
    auto decode = [](std::string_view params) -> std::string {
        std::string text = R"({"jsonrpc":"2.0","id":1,"method":"sampling/createMessage")";
        if (!params.empty()) text += R"(,"params":)" + std::string(params);
        try {
            Request<CreateSamplingMessage>::fromJSON(parse(text + "}"));
            return "decoded";
        } catch (const platform::json::DecodingError& e) {
            return e.description;
        }
    };
    EXPECT_EQ(decode(""), "Missing required params field");
    EXPECT_EQ(decode("null"), "Missing required params field");
    EXPECT_EQ(decode(R"({"messages":[],"maxTokens":1.5})"), "Invalid params field");
    EXPECT_EQ(decode(R"({"messages":[{"role":"user","content":{"type":"resource"}}],"maxTokens":1})"),
              "Invalid params field");
    EXPECT_EQ(decode(R"({"messages":[],"maxTokens":1})"), "decoded");
}

TEST(CreateSamplingMessageTest, ResultsKeepAnyStopReason) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"UnknownStopReason", R"({"stopReason":"contentFilter","model":"m","role":"assistant","content":{"type":"text","text":"x"}})",
         R"({"model":"m","stopReason":"contentFilter","role":"assistant","content":{"type":"text","text":"x"}})"},
        {"NoStopReasonArrayOfOne", R"({"model":"m","role":"user","content":[{"type":"text","text":"x"}],"_meta":{}})",
         R"({"model":"m","role":"user","content":{"type":"text","text":"x"},"_meta":{}})"},
        {"NoModel", R"({"role":"user","content":"x"})", "keyNotFound"},
        {"NoContent", R"({"model":"m","role":"user"})", "keyNotFound"},
        {"BadRole", R"({"model":"m","role":"system","content":{"type":"text","text":"x"}})",
         "dataCorrupted: Cannot initialize Role from invalid String value system"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Result>(c.json), c.written);
    }
    auto result = Result::fromJSON(parse(R"({"model":"m","stopReason":"toolUse","role":"user","content":[]})"));
    EXPECT_EQ(result.stopReason, Sampling::StopReason::toolUse);
    EXPECT_NE(result.stopReason, Sampling::StopReason("ToolUse"));
}

}  // namespace
}  // namespace mcp
