#pragma once

#include <string>
#include <string_view>

namespace inkwarden {

/// The text a user pastes into an AI agent so that it adds this application to its own MCP
/// configuration. It names the stdio command and the HTTP endpoint but never the token: the agent
/// is told to ask the user for it. Not translated; the welcome window copies the same text.
std::string setupPrompt(std::string_view executablePath, std::string_view endpoint);

}  // namespace inkwarden
