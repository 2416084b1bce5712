#pragma once

#include <string_view>

namespace inkwarden {

/// The application's own log of changes to the company profile, in the system log (syslog).
class Activity {
public:
    Activity() = delete;

    /// The identifier the lines are logged under.
    static constexpr const char* kIdentifier = "org.inkwarden.Inkwarden";

    /// Writes `line` as one notice, "profile: " before it. Never fails; safe from any thread.
    static void note(std::string_view line) noexcept;
};

}  // namespace inkwarden
