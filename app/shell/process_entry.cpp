#include "shell/process_entry.hpp"

#include "host/stdio_bridge.hpp"

#include <string_view>

namespace inkwarden {

bool wantsStdioRelay(int argc, const char* const* argv) noexcept {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::string_view(argv[i]) == "--stdio") return true;
    }
    return false;
}

int runStdioRelay() {
    StdioBridge().run();
}

}  // namespace inkwarden
