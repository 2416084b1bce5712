#include "host/host_exchange.hpp"

#include "host_harness.hpp"
#include "platform/json/parse.hpp"
#include "signature/company_stamp.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace inkwarden {
namespace {

using testing::bodyOf;
using testing::HostHarness;
using Headers = std::vector<std::pair<std::string, std::string>>;

const Headers kGoodHeaders = {
    {"Authorization", "Bearer secret"},
    {"Host", "127.0.0.1:47292"},
    {"Accept", "application/json, text/event-stream"},
    {"Content-Type", "application/json"},
};

std::string rawRequest(const std::string& body, const Headers& headers = kGoodHeaders, const std::string& method = "POST") {
    std::string text = method + " /mcp HTTP/1.1\r\n";
    for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return text;
}

Headers with(Headers headers, const std::string& name, const std::optional<std::string>& value) {
    std::erase_if(headers, [&](const auto& header) { return header.first == name; });
    if (value) headers.emplace_back(name, *value);
    return headers;
}

std::string statusLine(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}

std::string error(int code, const std::string& message) {
    return R"({"jsonrpc":"2.0","error":{"code":)" + std::to_string(code) + R"(,"message":")" + message + R"("},"id":null})";
}

std::string call(const std::string& tool, const std::string& arguments = "{}") {
    return R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":")" + tool + R"(","arguments":)" + arguments + "}}";
}

constexpr const char* kList = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";

TEST(HostExchangeTest, RefusesInThePipelinesOrderWithExactBodies) {
    HostHarness harness;
    harness.start();
    const std::string tokenRefusal =
        "Invalid Request: Missing or wrong access token. Copy the connection settings from the Inkwarden menu bar item.";
    struct Case {
        const char* name;
        std::string request;
        std::string status;
        std::string body;
    };
    const Case cases[] = {
        {"MethodBeforeToken", rawRequest(kList, with(kGoodHeaders, "Authorization", std::nullopt), "GET"),
         "HTTP/1.1 405 Method Not Allowed", error(-32600, "Invalid Request: Method Not Allowed")},
        {"BodyBeforeToken", rawRequest("", with(kGoodHeaders, "Authorization", "Bearer wrong")),
         "HTTP/1.1 400 Bad Request", error(-32700, "Parse error: Invalid JSON: Empty request body")},
        {"MissingToken", rawRequest(kList, with(kGoodHeaders, "Authorization", std::nullopt)), "HTTP/1.1 401 Unauthorized",
         error(-32600, tokenRefusal)},
        {"LowerCaseScheme", rawRequest(kList, with(kGoodHeaders, "Authorization", "bearer secret")),
         "HTTP/1.1 401 Unauthorized", error(-32600, tokenRefusal)},
        {"TwoBlanksAfterScheme", rawRequest(kList, with(kGoodHeaders, "Authorization", "Bearer  secret")),
         "HTTP/1.1 401 Unauthorized", error(-32600, tokenRefusal)},
        {"LongerToken", rawRequest(kList, with(kGoodHeaders, "Authorization", "Bearer secret2")),
         "HTTP/1.1 401 Unauthorized", error(-32600, tokenRefusal)},
        {"TokenBeforeHost", rawRequest(kList, with(with(kGoodHeaders, "Authorization", "Bearer x"), "Host", "evil.example")),
         "HTTP/1.1 401 Unauthorized", error(-32600, tokenRefusal)},
        {"Host", rawRequest(kList, with(kGoodHeaders, "Host", "evil.example:80")), "HTTP/1.1 421 Error",
         error(-32600, "Invalid Request: Misdirected Request: Host header not allowed")},
        {"Origin", rawRequest(kList, with(kGoodHeaders, "Origin", "http://evil.example")), "HTTP/1.1 403 Forbidden",
         error(-32600, "Invalid Request: Forbidden: Origin not allowed")},
        {"Accept", rawRequest(kList, with(kGoodHeaders, "Accept", "text/html")), "HTTP/1.1 406 Not Acceptable",
         error(-32600, "Invalid Request: Not Acceptable: Client must accept application\\/json")},
        {"ContentType", rawRequest(kList, with(kGoodHeaders, "Content-Type", "text/plain")),
         "HTTP/1.1 415 Unsupported Media Type",
         error(-32600, "Invalid Request: Unsupported Media Type: Content-Type must be application\\/json")},
        {"Version", rawRequest(kList, with(kGoodHeaders, "MCP-Protocol-Version", "1999-01-01")), "HTTP/1.1 400 Bad Request",
         error(-32600,
               "Invalid Request: Bad Request: Unsupported protocol version: 1999-01-01. Supported: 2024-11-05, "
               "2025-03-26, 2025-06-18, 2025-11-25")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto answer = harness.exchangeRaw(c.request);
        EXPECT_EQ(statusLine(answer), c.status);
        EXPECT_EQ(bodyOf(answer), c.body);
        EXPECT_EQ(answer.find("WWW-Authenticate"), std::string::npos);
        EXPECT_NE(answer.find("X-Inkwarden-Launch: " + MCPHost::launchID()), std::string::npos);
    }
    // Every path reaches the endpoint, and a notification is accepted.
    auto accepted = harness.exchangeRaw(rawRequest(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
    EXPECT_EQ(statusLine(accepted), "HTTP/1.1 202 Accepted");
}

TEST(HostExchangeTest, TheClientHeaderCountsOnlyWithTheToken) {
    HostHarness harness;
    harness.start();
    auto lastClient = [&] { return harness.main.run([&] { return harness.status.lastClient(); }); };

    auto refused = harness.exchangeRaw(
        rawRequest(kList, with(with(kGoodHeaders, "Authorization", "Bearer wrong"), "X-Inkwarden-Client", "Intruder")));
    EXPECT_EQ(statusLine(refused), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(lastClient(), std::nullopt);
    EXPECT_FALSE(AppSettings::hasConnectedClient());

    harness.exchangeRaw(rawRequest(kList, with(kGoodHeaders, "X-Inkwarden-Client", "Writer%20App%C3%A9")));
    EXPECT_EQ(lastClient(), "Writer App\xC3\xA9");
    EXPECT_TRUE(AppSettings::hasConnectedClient());

    for (const char* bad : {"Bad%2", "Bad%zz", "%FF"}) {
        harness.exchangeRaw(rawRequest(kList, with(kGoodHeaders, "X-Inkwarden-Client", bad)));
        EXPECT_EQ(lastClient(), "Writer App\xC3\xA9") << bad;
    }

    // A client that initialises names itself by its title, else its name.
    harness.exchangeRaw(rawRequest(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"cli","title":"Shown Title","version":"1"}}})"));
    EXPECT_EQ(lastClient(), "Shown Title");
}

TEST(HostExchangeTest, RestartWithANewTokenRefusesTheOldOne) {
    HostHarness harness;
    harness.start();
    EXPECT_EQ(statusLine(harness.exchangeRaw(rawRequest(kList))), "HTTP/1.1 200 OK");
    AppSettings::setToken("fresh");
    harness.start();
    EXPECT_EQ(statusLine(harness.exchangeRaw(rawRequest(kList))), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(statusLine(harness.exchangeRaw(rawRequest(kList, with(kGoodHeaders, "Authorization", "Bearer fresh")))),
              "HTTP/1.1 200 OK");
}

TEST(HostExchangeTest, InitializeNamesTheServerAndGivesTheInstructions) {
    HostHarness harness;
    harness.start();
    auto answer = harness.exchangeRaw(rawRequest(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"cli","version":"1"}}})"));
    auto result = platform::json::parse(bodyOf(answer)).at("result");
    EXPECT_EQ(result.at("serverInfo"), platform::json::parse(R"({"name":"inkwarden","title":"Inkwarden","version":"1.0.0"})"));
    EXPECT_EQ(result.at("capabilities"), platform::json::parse(R"({"tools":{"listChanged":true}})"));
    const std::string instructions(result.at("instructions").as_string());
    EXPECT_EQ(std::count(instructions.begin(), instructions.end(), '\n'), 8);
    EXPECT_EQ(instructions.substr(0, 68), "Inkwarden lets you ask the user for a handwritten signature on their");
    EXPECT_TRUE(instructions.ends_with("\n\nSignatures are disposable: every request is drawn fresh, the files are deleted "
                                       "after ten minutes, and nothing is kept for reuse. Call discard_signatures once "
                                       "you've used them. Never reuse a signature for another document. If the user "
                                       "cancels, don't ask again unless they tell you to."));
    EXPECT_NE(instructions.find("on their computer. Nothing is signed without them"), std::string::npos);
}

TEST(HostExchangeTest, ToolsListIsTheCatalogByteForByte) {
    HostHarness harness;
    harness.start();
    std::ifstream file(std::filesystem::path(__FILE__).parent_path() / "fixtures" / "tools_list.json");
    std::string fixture((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(fixture.empty());
    // A cursor is ignored: the whole list comes back without a next cursor.
    auto body = bodyOf(harness.exchangeRaw(rawRequest(R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{"cursor":"x"}})")));
    // The inbox path is spliced into two descriptions; it is where this process's catalog was built.
    auto description = std::string(platform::json::parse(body).at("result").at("tools").at(0).at("description").as_string());
    const std::string before = "first copy the file into ";
    auto start = description.find(before) + before.size();
    auto path = description.substr(start, description.find(" and pass that path as document_path") - start);
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(path.ends_with("/inkwarden/inbox") || path.find("/inkwarden-") != std::string::npos) << path;
    for (auto at = fixture.find("{INBOX}"); at != std::string::npos; at = fixture.find("{INBOX}")) fixture.replace(at, 7, path);
    EXPECT_EQ(body, fixture);
}

/// The tool result of a tools/call answer: its content and isError.
std::pair<boost::json::value, bool> toolResult(const std::string& answer) {
    auto result = platform::json::parse(bodyOf(answer)).at("result");
    return {result.at("content"), result.at("isError").as_bool()};
}

TEST(HostExchangeTest, AnswersToolCallsWithoutInitializeAndToolFailuresAsResults) {
    HostHarness harness;
    harness.start();
    struct Case {
        const char* name;
        std::string tool;
        std::string text;
    };
    const Case cases[] = {
        {"UnknownTool", "Sign_Document", "Unknown tool Sign_Document"},
        {"ToolWithoutItsWindowYet", "request_stamp",
         "The tool request_stamp needs a window that this version of Inkwarden can't show yet."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto answer = harness.exchangeRaw(rawRequest(call(c.tool)));
        EXPECT_EQ(statusLine(answer), "HTTP/1.1 200 OK");
        auto [content, isError] = toolResult(answer);
        EXPECT_TRUE(isError);
        EXPECT_EQ(content, platform::json::parse(R"([{"type":"text","text":")" + c.text + R"("}])"));
    }
}

TEST(HostExchangeTest, GetCompanyProfileAnswersOverHTTP) {
    HostHarness harness;
    harness.start();
    auto answer = harness.exchangeRaw(rawRequest(call("get_company_profile", R"({"ignored":1})")));
    auto [content, isError] = toolResult(answer);
    EXPECT_FALSE(isError);
    // Keys sorted, slashes unescaped.
    EXPECT_EQ(std::string(content.at(0).at("text").as_string()),
              R"({"company_text":"","has_stamp":false,"inbox":")" + CompanyStamp::inbox().string() +
                  R"~(","version":"1.0.0 (1)"})~");

    AppSettings::setCompanyText("  Alex Example\nDirector ");
    harness.main.run([] { CompanyStamp::save("not even a png"); });
    auto profile = platform::json::parse(std::string(
        toolResult(harness.exchangeRaw(rawRequest(call("get_company_profile")))).first.at(0).at("text").as_string()));
    EXPECT_EQ(profile.at("company_text"), "Alex Example\nDirector");
    EXPECT_EQ(profile.at("has_stamp"), true);
}

TEST(HostExchangeTest, DiscardSignaturesDeletesTheFilesAndRecounts) {
    HostHarness harness;
    harness.start();
    auto count = [&] { return harness.main.run([&] { return harness.signatures.count(); }); };
    harness.main.run([&] {
        harness.signatures.save("a", "signature", "png");
        harness.signatures.save("b", "stamp", "png");
    });
    EXPECT_EQ(count(), 2);
    auto [content, isError] = toolResult(harness.exchangeRaw(rawRequest(call("discard_signatures"))));
    EXPECT_FALSE(isError);
    EXPECT_EQ(std::string(content.at(0).at("text").as_string()), R"({"deleted":2})");
    EXPECT_EQ(count(), 0);
    auto again = toolResult(harness.exchangeRaw(rawRequest(call("discard_signatures"))));
    EXPECT_EQ(std::string(again.first.at(0).at("text").as_string()), R"({"deleted":0})");
    // The pending deletions find their files gone and only recount.
    harness.main.run([&] { harness.scheduler.advance(SignatureStore::kLifetime); });
    EXPECT_EQ(count(), 0);
}

}  // namespace
}  // namespace inkwarden
