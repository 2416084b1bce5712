#include "logging/detail/fatal_error.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace logging::detail {

void fatalError(std::string_view message) noexcept {
    std::string line = "Fatal error: ";
    line.append(message).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    std::abort();
}

void checkPosix(int result, const char* call) noexcept {
    if (result == 0) return;
    std::string message = call;
    message.append(" failed: ").append(std::strerror(result));
    fatalError(message);
}

}  // namespace logging::detail
