#include "ui/client_setup.hpp"

#include <filesystem>
#include <system_error>

#include <QCoreApplication>
#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include "platform/json/write.hpp"
#include "platform/utf8.hpp"

namespace inkwarden {
namespace {

struct Entry {
    ClientSetup::Kind kind;
    std::string_view rawValue;
    const char* name;
    bool translatedName;
    const char* hint;
};

// The hints keep their typographic quotes and arrows: users read them verbatim.
constexpr std::array<Entry, 9> kEntries{{
    {ClientSetup::claudeCode, "claudeCode", "Claude Code", false, "Run this in Terminal."},
    {ClientSetup::claudeDesktop, "claudeDesktop", "Claude Desktop", false,
     "Add to claude_desktop_config.json (Settings \u2192 Developer \u2192 Edit Config), then restart Claude."},
    {ClientSetup::codex, "codex", "Codex CLI", false, "Run this in Terminal."},
    {ClientSetup::geminiCLI, "geminiCLI", "Gemini CLI", false, "Add to ~/.gemini/settings.json."},
    {ClientSetup::cursor, "cursor", "Cursor", false, "Add to ~/.cursor/mcp.json."},
    {ClientSetup::vsCode, "vsCode", "VS Code", false,
     "Add to .vscode/mcp.json in your workspace, or run \u201CMCP: Open User Configuration\u201D."},
    {ClientSetup::windsurf, "windsurf", "Windsurf", false, "Add to ~/.codeium/windsurf/mcp_config.json."},
    {ClientSetup::otherHTTP, "otherHTTP", "Other app (HTTP)", true,
     "For apps that connect to a Streamable HTTP MCP server. Send the token as an Authorization header."},
    {ClientSetup::otherCommand, "otherCommand", "Other app (command)", true,
     "For apps that launch an MCP server as a command (stdio). No token needed."},
}};

const Entry& entryOf(ClientSetup::Kind kind) { return kEntries[static_cast<std::size_t>(kind)]; }

QString translated(const char* text) { return QCoreApplication::translate("ClientSetup", text); }

// An object with one member `root` holding {"inkwarden": entry}, written pretty with sorted keys
// and plain slashes. Text that would not read back as the path (no UTF-8) gives "{}".
std::string configurationJSON(std::string_view root, std::string_view executablePath, bool withType) {
    if (!platform::isValidUTF8(executablePath)) return "{}";
    boost::json::object entry;
    entry["command"] = executablePath;
    entry["args"] = boost::json::array{"--stdio"};
    if (withType) entry["type"] = "stdio";
    boost::json::object servers;
    servers["inkwarden"] = std::move(entry);
    boost::json::object document;
    document[root] = std::move(servers);
    try {
        return platform::json::write(document, {.sortedKeys = true, .escapeSlashes = false, .pretty = true});
    } catch (const std::exception&) {
        return "{}";
    }
}

}  // namespace

const std::array<ClientSetup, 9>& ClientSetup::allCases() noexcept {
    static constexpr std::array<ClientSetup, 9> cases{claudeCode, claudeDesktop, codex,    geminiCLI,   cursor,
                                                      vsCode,     windsurf,      otherHTTP, otherCommand};
    return cases;
}

std::optional<ClientSetup> ClientSetup::fromRawValue(std::string_view rawValue) noexcept {
    for (const auto& entry : kEntries) {
        if (entry.rawValue == rawValue) return ClientSetup(entry.kind);
    }
    return std::nullopt;
}

std::string_view ClientSetup::rawValue() const noexcept { return entryOf(kind_).rawValue; }

QString ClientSetup::name() const {
    const auto& entry = entryOf(kind_);
    return entry.translatedName ? translated(entry.name) : QString::fromUtf8(entry.name);
}

QString ClientSetup::hint() const { return translated(entryOf(kind_).hint); }

std::string ClientSetup::snippet(std::string_view executablePath, std::string_view endpoint,
                                 const std::function<std::string()>& token) const {
    switch (kind_) {
    case claudeCode:
        return "claude mcp add --scope user inkwarden -- " + shellQuoted(executablePath) + " --stdio";
    case codex:
        return "codex mcp add inkwarden -- " + shellQuoted(executablePath) + " --stdio";
    case claudeDesktop:
    case geminiCLI:
    case cursor:
    case windsurf:
        return configurationJSON("mcpServers", executablePath, false);
    case vsCode:
        return configurationJSON("servers", executablePath, true);
    case otherHTTP:
        return "URL: " + std::string(endpoint) + "\nHeader: Authorization: Bearer " + token();
    case otherCommand:
        return shellQuoted(executablePath) + " --stdio";
    }
    return {};
}

std::string shellQuoted(std::string_view path) {
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string applicationExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || path.empty()) return INKWARDEN_INSTALL_PATH;
    return path.string();
}

}  // namespace inkwarden
