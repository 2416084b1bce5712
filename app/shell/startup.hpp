#pragma once

#include <functional>

namespace inkwarden {

/// The work the application does once when it starts, each step supplied by the caller so the
/// order can be checked without a desktop.
struct StartupSteps {
    using Action = std::function<void()>;

    Action removeSignatureFiles;
    /// Registers an action to run each time the application is about to end.
    std::function<void(Action)> onTerminate;
    /// Starts the local host without waiting for it to listen.
    Action startHost;
    /// Runs an action on the main thread once start-up has returned and the event loop runs.
    std::function<void(Action)> later;
    std::function<bool()> hasSeenWelcome;
    Action showWelcome;
    /// Seconds since 1970-01-01 00:00 UTC.
    std::function<double()> lastUpdateCheck;
    std::function<double()> now;
    Action checkForUpdates;
};

/// The wall clock in seconds since 1970-01-01 00:00 UTC, the unit of "lastUpdateCheck".
double secondsSince1970();

/// More than a day since the last check (0 for never): exactly one day later is not yet due.
bool updateCheckDue(double lastUpdateCheck, double now) noexcept;

/// Leftover signature files go, their removal is registered for the end, the host starts, the
/// welcome window is queued when not seen yet, and updates are checked when due. Steps left
/// empty are skipped.
void runStartup(const StartupSteps& steps);

}  // namespace inkwarden
