#include "shell/activity.hpp"

#include <syslog.h>

#include <mutex>
#include <string>

namespace inkwarden {

void Activity::note(std::string_view line) noexcept {
    static std::once_flag opened;
    std::call_once(opened, [] { ::openlog(kIdentifier, LOG_PID, LOG_USER); });
    try {
        std::string text(line);
        ::syslog(LOG_NOTICE, "profile: %s", text.c_str());
    } catch (...) {
        // Logging must never fail a change that has been made.
    }
}

}  // namespace inkwarden
