#pragma once

#include <exception>
#include <string>

namespace platform {

/// The description of an error as messages and logs show it: `what()` of any std::exception (the
/// project's errors return their description there), "Unknown error" for anything else or null.
std::string describe(std::exception_ptr error);

}  // namespace platform
