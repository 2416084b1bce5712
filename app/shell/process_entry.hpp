#pragma once

namespace inkwarden {

/// True when one of the arguments after the program name is exactly "--stdio": the process
/// then relays for an AI client instead of running the application.
bool wantsStdioRelay(int argc, const char* const* argv) noexcept;

/// Runs the stdio relay for the AI client that started this process. Never returns: the process
/// ends with status 0 at the end of the client's input or when the client is gone.
[[noreturn]] int runStdioRelay();

}  // namespace inkwarden
