#include "platform/build_info.hpp"

namespace inkwarden {

std::string_view bundleVersion() noexcept { return INKWARDEN_VERSION; }
std::string_view bundleBuild() noexcept { return INKWARDEN_BUILD_NUMBER; }

}  // namespace inkwarden
