#pragma once

#include <string_view>

namespace inkwarden::product {

/// The product web site: the about panel links to it and the update feed lies at its root.
inline constexpr std::string_view kWebsite = "https://inkwarden.app/";
inline constexpr std::string_view kWebsiteDomain = "inkwarden.app";
inline constexpr std::string_view kSupportAddress = "support@inkwarden.app";

}  // namespace inkwarden::product
