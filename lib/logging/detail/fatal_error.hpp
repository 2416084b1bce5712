#pragma once

#include <string_view>

namespace logging::detail {

/// Writes "Fatal error: " and `message` to standard error and aborts the process.
[[noreturn]] void fatalError(std::string_view message) noexcept;

/// Ends the process when a POSIX call named `call` returned the error number `result` (non-zero).
void checkPosix(int result, const char* call) noexcept;

}  // namespace logging::detail
