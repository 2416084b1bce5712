#pragma once

#include <exception>

namespace platform {

/// Thrown by cancellation points (`sleepFor`, `checkCancellation`) once the running task is cancelled.
struct CancellationError : std::exception {
    const char* what() const noexcept override { return "CancellationError"; }
};

}  // namespace platform
