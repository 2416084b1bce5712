#include "shell/startup.hpp"

#include <chrono>

namespace inkwarden {
namespace {

constexpr double kUpdateInterval = 86400;

}  // namespace

double secondsSince1970() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

bool updateCheckDue(double lastUpdateCheck, double now) noexcept { return now - lastUpdateCheck > kUpdateInterval; }

void runStartup(const StartupSteps& steps) {
    if (steps.removeSignatureFiles) {
        steps.removeSignatureFiles();
        if (steps.onTerminate) steps.onTerminate(steps.removeSignatureFiles);
    }
    if (steps.startHost) steps.startHost();
    if (steps.later && steps.showWelcome) {
        steps.later([hasSeen = steps.hasSeenWelcome, show = steps.showWelcome] {
            if (!hasSeen || !hasSeen()) show();
        });
    }
    if (steps.checkForUpdates && steps.lastUpdateCheck && steps.now &&
        updateCheckDue(steps.lastUpdateCheck(), steps.now())) {
        steps.checkForUpdates();
    }
}

}  // namespace inkwarden
