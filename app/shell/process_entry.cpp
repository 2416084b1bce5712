#include "shell/process_entry.hpp"

#include <cstdio>
#include <string_view>

namespace inkwarden {

bool wantsStdioRelay(int argc, const char* const* argv) noexcept {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::string_view(argv[i]) == "--stdio") return true;
    }
    return false;
}

int runStdioRelay() {
    // Said on standard error: standard output belongs to the AI client's JSON-RPC stream.
    std::fputs("Inkwarden: the stdio relay is not available in this build yet; connect over HTTP instead.\n", stderr);
    return 1;
}

}  // namespace inkwarden
