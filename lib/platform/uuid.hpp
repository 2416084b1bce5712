#pragma once

#include <string>

namespace platform {

/// A fresh random (version 4) UUID in canonical text with upper-case digits
/// ("1B4E28BA-2FA1-41D2-883F-0016D3CCA427"). Safe to call from any thread.
std::string makeUUIDString();

}  // namespace platform
