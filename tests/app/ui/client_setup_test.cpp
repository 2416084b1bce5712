#include "ui/client_setup.hpp"

#include <cstdio>
#include <string>

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include "ui/setup_prompt.hpp"

namespace {

using inkwarden::ClientSetup;

constexpr const char* kPath = "/home/jo bloggs/it's here/inkwarden";
constexpr const char* kQuoted = "'/home/jo bloggs/it'\\''s here/inkwarden'";
constexpr const char* kEndpoint = "http://127.0.0.1:8080/mcp";

std::string snippetOf(ClientSetup setup, const char* path = kPath) {
    return setup.snippet(path, kEndpoint, [] { return std::string("0123abcd"); });
}

TEST(ClientSetupTest, CasesInOrderWithNamesAndHints) {
    struct Case {
        ClientSetup setup;
        const char* raw;
        const char* name;
        const char* hint;
    };
    const Case cases[] = {
        {ClientSetup::claudeCode, "claudeCode", "Claude Code", "Run this in Terminal."},
        {ClientSetup::claudeDesktop, "claudeDesktop", "Claude Desktop",
         "Add to claude_desktop_config.json (Settings \u2192 Developer \u2192 Edit Config), then restart Claude."},
        {ClientSetup::codex, "codex", "Codex CLI", "Run this in Terminal."},
        {ClientSetup::geminiCLI, "geminiCLI", "Gemini CLI", "Add to ~/.gemini/settings.json."},
        {ClientSetup::cursor, "cursor", "Cursor", "Add to ~/.cursor/mcp.json."},
        {ClientSetup::vsCode, "vsCode", "VS Code",
         "Add to .vscode/mcp.json in your workspace, or run \u201CMCP: Open User Configuration\u201D."},
        {ClientSetup::windsurf, "windsurf", "Windsurf", "Add to ~/.codeium/windsurf/mcp_config.json."},
        {ClientSetup::otherHTTP, "otherHTTP", "Other app (HTTP)",
         "For apps that connect to a Streamable HTTP MCP server. Send the token as an Authorization header."},
        {ClientSetup::otherCommand, "otherCommand", "Other app (command)",
         "For apps that launch an MCP server as a command (stdio). No token needed."},
    };
    ASSERT_EQ(ClientSetup::allCases().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(ClientSetup::allCases()[i], c.setup);
        EXPECT_EQ(c.setup.rawValue(), c.raw);
        EXPECT_EQ(ClientSetup::fromRawValue(c.raw), c.setup);
        EXPECT_EQ(c.setup.name().toStdString(), c.name);
        EXPECT_EQ(c.setup.hint().toStdString(), c.hint);
    }
    for (const char* other : {"ClaudeCode", "claudecode", "vscode", "", "otherHTTP "}) {
        EXPECT_EQ(ClientSetup::fromRawValue(other), std::nullopt) << other;
    }
}

TEST(ClientSetupTest, SnippetsQuoteThePathForTheShellAndKeepItPlainInJSON) {
    const std::string jsonSnippet =
        "{\n"
        "  \"mcpServers\" : {\n"
        "    \"inkwarden\" : {\n"
        "      \"args\" : [\n"
        "        \"--stdio\"\n"
        "      ],\n"
        "      \"command\" : \"/home/jo bloggs/it's here/inkwarden\"\n"
        "    }\n"
        "  }\n"
        "}";
    const std::string vsCodeSnippet =
        "{\n"
        "  \"servers\" : {\n"
        "    \"inkwarden\" : {\n"
        "      \"args\" : [\n"
        "        \"--stdio\"\n"
        "      ],\n"
        "      \"command\" : \"/home/jo bloggs/it's here/inkwarden\",\n"
        "      \"type\" : \"stdio\"\n"
        "    }\n"
        "  }\n"
        "}";
    struct Case {
        ClientSetup setup;
        std::string snippet;
    };
    const Case cases[] = {
        {ClientSetup::claudeCode, std::string("claude mcp add --scope user inkwarden -- ") + kQuoted + " --stdio"},
        {ClientSetup::claudeDesktop, jsonSnippet},
        {ClientSetup::codex, std::string("codex mcp add inkwarden -- ") + kQuoted + " --stdio"},
        {ClientSetup::geminiCLI, jsonSnippet},
        {ClientSetup::cursor, jsonSnippet},
        {ClientSetup::vsCode, vsCodeSnippet},
        {ClientSetup::windsurf, jsonSnippet},
        {ClientSetup::otherHTTP, "URL: http://127.0.0.1:8080/mcp\nHeader: Authorization: Bearer 0123abcd"},
        {ClientSetup::otherCommand, std::string(kQuoted) + " --stdio"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup.rawValue());
        EXPECT_EQ(snippetOf(c.setup), c.snippet);
    }
}

TEST(ClientSetupTest, JSONSnippetsReadBackAsTheServerEntry) {
    for (ClientSetup setup : std::initializer_list<ClientSetup>{ClientSetup::claudeDesktop, ClientSetup::geminiCLI,
                                                                ClientSetup::cursor, ClientSetup::windsurf,
                                                                ClientSetup::vsCode}) {
        SCOPED_TRACE(setup.rawValue());
        auto document = boost::json::parse(snippetOf(setup, "/opt/ink/bin/inkwarden")).as_object();
        const char* root = setup == ClientSetup::vsCode ? "servers" : "mcpServers";
        ASSERT_EQ(document.size(), 1u);
        const auto& entry = document.at(root).at("inkwarden").as_object();
        EXPECT_EQ(entry.at("command"), "/opt/ink/bin/inkwarden");
        EXPECT_EQ(entry.at("args"), boost::json::array{"--stdio"});
        EXPECT_EQ(entry.contains("type"), setup == ClientSetup::vsCode);
    }
}

TEST(ClientSetupTest, APathThatIsNoUTF8GivesAnEmptyJSONObject) {
    EXPECT_EQ(snippetOf(ClientSetup::cursor, "/opt/\xff/inkwarden"), "{}");
    EXPECT_EQ(snippetOf(ClientSetup::vsCode, "/opt/\xc3/inkwarden"), "{}");
    EXPECT_EQ(snippetOf(ClientSetup::otherCommand, "/opt/\xff/x"), "'/opt/\xff/x' --stdio");
}

TEST(ClientSetupTest, OnlyTheHTTPSnippetReadsTheToken) {
    int reads = 0;
    auto token = [&reads] {
        ++reads;
        return std::string("t") + std::to_string(reads);
    };
    for (auto setup : ClientSetup::allCases()) {
        if (setup != ClientSetup::otherHTTP) setup.snippet(kPath, kEndpoint, token);
    }
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(ClientSetup(ClientSetup::otherHTTP).snippet(kPath, kEndpoint, token),
              "URL: http://127.0.0.1:8080/mcp\nHeader: Authorization: Bearer t1");
    EXPECT_EQ(ClientSetup(ClientSetup::otherHTTP).snippet(kPath, "http://127.0.0.1:9/mcp", token),
              "URL: http://127.0.0.1:9/mcp\nHeader: Authorization: Bearer t2");
}

// A shell given the command line must start exactly the path with the one argument "--stdio".
TEST(ClientSetupTest, CommandLineReachesTheShellAsPathAndOneArgument) {
    for (const char* path : {kPath, "/tmp/a'b''c/x", "/tmp/$HOME `id` \"q\"/x", "/tmp/back\\slash/x"}) {
        SCOPED_TRACE(path);
        std::string command = "printf '<%s>' " + snippetOf(ClientSetup::otherCommand, path);
        FILE* shell = popen(command.c_str(), "r");
        ASSERT_NE(shell, nullptr);
        std::string output;
        char buffer[512];
        while (auto n = fread(buffer, 1, sizeof buffer, shell)) output.append(buffer, n);
        EXPECT_EQ(pclose(shell), 0);
        EXPECT_EQ(output, "<" + std::string(path) + "><--stdio>");
    }
}

TEST(SetupPromptTest, NamesTheQuotedCommandAndTheEndpointButNoToken) {
    EXPECT_EQ(inkwarden::setupPrompt(kPath, kEndpoint),
              "Please connect yourself to Inkwarden, a local MCP server on this computer that lets you ask me for a "
              "handwritten signature when a document needs one.\n\nAdd an MCP server named \"inkwarden\" to your own "
              "MCP configuration, using the format and config location your app expects:\n\n- Preferred, stdio: run "
              "the command '/home/jo bloggs/it'\\''s here/inkwarden' with the single argument --stdio.\n- Only if you "
              "can't launch commands, Streamable HTTP: URL http://127.0.0.1:8080/mcp with an \"Authorization: Bearer "
              "<token>\" header. Ask me for the token: it's under Manual Setup \u2192 Other app (HTTP) in the "
              "Inkwarden menu bar panel.\n\nKeep every other server in the config as it is. Then tell me whether I "
              "need to restart the app or reload its MCP servers before the signature tools show up.\n\nIf you can't "
              "change your own settings, give me short step-by-step instructions for your app instead.");
}

}  // namespace
