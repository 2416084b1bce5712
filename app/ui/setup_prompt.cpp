#include "ui/setup_prompt.hpp"

#include "ui/client_setup.hpp"

namespace inkwarden {

std::string setupPrompt(std::string_view executablePath, std::string_view endpoint) {
    std::string prompt =
        "Please connect yourself to Inkwarden, a local MCP server on this computer that lets you ask me for a "
        "handwritten signature when a document needs one.\n\n"
        "Add an MCP server named \"inkwarden\" to your own MCP configuration, using the format and config location "
        "your app expects:\n\n"
        "- Preferred, stdio: run the command ";
    prompt += shellQuoted(executablePath);
    prompt += " with the single argument --stdio.\n- Only if you can't launch commands, Streamable HTTP: URL ";
    prompt += endpoint;
    prompt +=
        " with an \"Authorization: Bearer <token>\" header. Ask me for the token: it's under Manual Setup \u2192 "
        "Other app (HTTP) in the Inkwarden menu bar panel.\n\n"
        "Keep every other server in the config as it is. Then tell me whether I need to restart the app or reload "
        "its MCP servers before the signature tools show up.\n\n"
        "If you can't change your own settings, give me short step-by-step instructions for your app instead.";
    return prompt;
}

}  // namespace inkwarden
