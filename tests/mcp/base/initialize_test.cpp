#include "mcp/base/initialize.hpp"

#include "mcp/base/client_configuration.hpp"
#include "mcp/base/version.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mcp {
namespace {

using platform::json::DecodingError;

std::string write(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

// Decodes `json` as T and writes it back; "fails" when the decoding throws.
template <class T>
std::string reencode(std::string_view json) {
    try {
        return write(T::fromJSON(platform::json::parse(json)).toJSON());
    } catch (const DecodingError&) {
        return "fails";
    }
}

TEST(VersionTest, KnowsItsVersionsAndNegotiates) {
    EXPECT_EQ(Version::latest(), "2025-11-25");
    EXPECT_EQ(Version::supported().size(), 4u);
    EXPECT_TRUE(Version::supported().contains("2024-11-05"));
    for (const auto& version : Version::supported()) {
        EXPECT_FALSE(version.starts_with("2024-") && version != "2024-11-05");
    }

    struct Case {
        std::string requested;
        std::string answered;
    };
    const std::vector<Case> cases = {
        {"2024-11-05", "2024-11-05"}, {"2025-06-18", "2025-06-18"}, {"2026-01-01", "2025-11-25"},
        {"2025/06/18", "2025-11-25"}, {"", "2025-11-25"},           {"2025-06-18 ", "2025-11-25"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        EXPECT_EQ(Version::negotiated(c.requested), c.answered);
    }
}

TEST(InitializeTest, ParametersFillInAbsentMembers) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"Empty", "{}",
         R"({"protocolVersion":"2025-11-25","capabilities":{},"clientInfo":{"name":"unknown","version":"0.0.0"}})"},
        {"Nulls", R"({"protocolVersion":null,"capabilities":null,"clientInfo":null,"_meta":{"a":1}})",
         R"({"protocolVersion":"2025-11-25","capabilities":{},"clientInfo":{"name":"unknown","version":"0.0.0"}})"},
        {"Given",
         R"({"protocolVersion":"2024-11-05","capabilities":{"roots":{"listChanged":true}},)"
         R"("clientInfo":{"name":"c","version":"1","title":"C"}})",
         R"({"protocolVersion":"2024-11-05","capabilities":{"roots":{"listChanged":true}},)"
         R"("clientInfo":{"name":"c","title":"C","version":"1"}})"},
        {"NumericVersion", R"({"protocolVersion":1})", "fails"},
        {"InfoWithoutName", R"({"clientInfo":{"version":"1"}})", "fails"},
        {"CapabilitiesNotObject", R"({"capabilities":[]})", "fails"},
        {"NotAnObject", "[]", "fails"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Initialize::Parameters>(c.json), c.written);
    }
}

TEST(InitializeTest, ParametersAreRequiredInTheRequest) {
    auto outcome = [](std::string_view text) -> std::string {
        try {
            auto request = Request<Initialize>::fromJSON(platform::json::parse(text));
            return "ok " + request.params.clientInfo.name;
        } catch (const DecodingError& e) {
            return e.description;
        }
    };
    EXPECT_EQ(outcome(R"({"jsonrpc":"2.0","id":1,"method":"initialize"})"), "Missing required params field");
    EXPECT_EQ(outcome(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":null})"),
              "Missing required params field");
    EXPECT_EQ(outcome(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":5}})"),
              "Invalid params field");
    EXPECT_EQ(outcome(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})"), "ok unknown");
}

TEST(InitializeTest, ResultWritesOptionalMembersOnlyWhenPresent) {
    Initialize::Result bare{"2025-06-18", ServerCapabilities{}, ServerInfo("s", "1")};
    EXPECT_EQ(write(bare.toJSON()),
              R"({"protocolVersion":"2025-06-18","capabilities":{},"serverInfo":{"name":"s","version":"1"}})");
    Initialize::Result full{"2025-06-18", ServerCapabilities{.tools = ServerCapabilities::Tools{true}},
                            ServerInfo("s", "1", "S"), "Use it", Metadata()};
    EXPECT_EQ(write(full.toJSON()),
              R"({"protocolVersion":"2025-06-18","capabilities":{"tools":{"listChanged":true}},)"
              R"("serverInfo":{"name":"s","title":"S","version":"1"},"instructions":"Use it","_meta":{}})");
    EXPECT_EQ(Initialize::Result::fromJSON(full.toJSON()), full);
    EXPECT_EQ(reencode<Initialize::Result>(R"({"protocolVersion":"1","capabilities":{}})"), "fails");
    EXPECT_EQ(reencode<Initialize::Result>(R"({"protocolVersion":"1","capabilities":{},"serverInfo":{"name":"s",)"
                                           R"("version":"1"},"instructions":null,"_meta":[1,2]})"),
              "fails");
}

TEST(ClientInfoTest, WritesAndReadsTheImplementationRecord) {
    EXPECT_EQ(write(ClientInfo("c", "1").toJSON()), R"({"name":"c","version":"1"})");
    EXPECT_EQ(write(ClientInfo("c", "1", "").toJSON()), R"({"name":"c","title":"","version":"1"})");
    ClientInfo full("c", "1", "C", "A client", "https://c.example", std::vector<Icon>{Icon{.src = "i.png"}});
    EXPECT_EQ(write(full.toJSON()), R"({"name":"c","title":"C","version":"1","description":"A client",)"
                                    R"("websiteUrl":"https://c.example","icons":[{"src":"i.png"}]})");
    EXPECT_EQ(ClientInfo::fromJSON(full.toJSON()), full);
    EXPECT_EQ(reencode<ClientInfo>(R"({"name":"c"})"), "fails");
    EXPECT_EQ(reencode<ClientInfo>(R"({"name":"c","version":1})"), "fails");
    EXPECT_EQ(reencode<ClientInfo>(R"({"name":"c","version":"1","title":null,"WebsiteUrl":"x"})"),
              R"({"name":"c","version":"1"})");
    EXPECT_EQ(reencode<ServerInfo>(R"({"name":"s","version":"1","websiteURL":"x"})"), R"({"name":"s","version":"1"})");
    EXPECT_EQ(reencode<ServerInfo>(R"({"name":"s"})"), "fails");
}

TEST(ClientCapabilitiesTest, DecodesLeniently) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"Nothing", "{}", "{}"},
        {"SamplingTrue", R"({"sampling":true})", R"({"sampling":{}})"},
        {"SamplingText", R"({"sampling":"yes"})", R"({"sampling":{}})"},
        {"SamplingNull", R"({"sampling":null})", "{}"},
        {"SamplingMarkers", R"({"sampling":{"tools":false,"context":null}})", R"({"sampling":{"tools":{}}})"},
        {"ElicitationEmpty", R"({"elicitation":{}})", R"({"elicitation":{"form":{}}})"},
        {"ElicitationTrue", R"({"elicitation":true})", R"({"elicitation":{"form":{}}})"},
        {"ElicitationUnknownKey", R"({"elicitation":{"other":1}})", R"({"elicitation":{"form":{}}})"},
        {"ElicitationURL", R"({"elicitation":{"url":5}})", R"({"elicitation":{"url":{}}})"},
        {"ElicitationBoth", R"({"elicitation":{"form":{},"url":{}}})", R"({"elicitation":{"form":{},"url":{}}})"},
        {"Experimental", R"({"experimental":{"a":"b"}})", R"({"experimental":{"a":"b"}})"},
        {"ExperimentalNumber", R"({"experimental":{"a":1}})", "fails"},
        {"RootsTrue", R"({"roots":true})", "fails"},
        {"RootsEmpty", R"({"roots":{}})", R"({"roots":{}})"},
        {"RootsFlagText", R"({"roots":{"listChanged":"yes"}})", "fails"},
        {"Everything",
         R"({"roots":{"listChanged":true},"sampling":{},"elicitation":{"form":{}},"x":1})",
         R"({"sampling":{},"elicitation":{"form":{}},"roots":{"listChanged":true}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<ClientCapabilities>(c.json), c.written);
    }
}

TEST(ClientCapabilitiesTest, ElicitationWithoutModeDoesNotSurviveARoundTrip) {
    ClientCapabilities written{.elicitation = ClientCapabilities::Elicitation{}};
    auto read = ClientCapabilities::fromJSON(written.toJSON());
    EXPECT_NE(read, written);
    EXPECT_TRUE(read.elicitation->form.has_value());
    EXPECT_NE(std::hash<ClientCapabilities>{}(read), std::hash<ClientCapabilities>{}(written));
}

TEST(ClientConfigurationTest, ReadsTheStrictFlag) {
    EXPECT_EQ(ClientConfiguration::fromJSON(platform::json::parse(R"({"strict":true})")), ClientConfiguration::strict_);
    EXPECT_EQ(write(ClientConfiguration::default_.toJSON()), R"({"strict":false})");
    EXPECT_EQ(reencode<ClientConfiguration>("{}"), "fails");
}

TEST(ServerCapabilitiesTest, WritesAndReadsDeclarations) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"Nothing", "{}", "{}"},
        {"LoggingTrue", R"({"logging":true})", R"({"logging":{}})"},
        {"CompletionsNumber", R"({"completions":5})", R"({"completions":{}})"},
        {"LoggingNull", R"({"logging":null})", "{}"},
        {"ToolsTrue", R"({"tools":true})", "fails"},
        {"ToolsFlagText", R"({"tools":{"listChanged":"yes"}})", "fails"},
        {"ToolsFlagNumber", R"({"tools":{"listChanged":1}})", "fails"},
        {"ToolsEmpty", R"({"tools":{}})", R"({"tools":{}})"},
        {"ToolsFalse", R"({"tools":{"listChanged":false}})", R"({"tools":{"listChanged":false}})"},
        {"ResourcesSubscribe", R"({"resources":{"subscribe":true}})", R"({"resources":{"subscribe":true}})"},
        {"UnknownKeysDropped", R"({"experimental":{},"prompts":{"listChanged":true,"x":1}})",
         R"({"prompts":{"listChanged":true}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<ServerCapabilities>(c.json), c.written);
    }
    EXPECT_NE(ServerCapabilities{.tools = ServerCapabilities::Tools{}},
              ServerCapabilities{.tools = ServerCapabilities::Tools{false}});
}

}  // namespace
}  // namespace mcp
