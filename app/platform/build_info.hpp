#pragma once

#include <string_view>

namespace inkwarden {

// The version and build number compiled in from CMake.
std::string_view bundleVersion() noexcept;
std::string_view bundleBuild() noexcept;

}  // namespace inkwarden
