#pragma once

#include <exception>

namespace mcp {

/// Thrown to a waiter whose reply cannot be turned into the result type it expects.
struct TypeMismatchError : std::exception {
    const char* what() const noexcept override { return "TypeMismatchError"; }
};

}  // namespace mcp
