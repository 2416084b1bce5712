#include "shell/startup.hpp"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using inkwarden::StartupSteps;

struct Recorder {
    std::vector<std::string> calls;
    std::vector<StartupSteps::Action> queued;
    std::vector<StartupSteps::Action> atEnd;
    bool seenWelcome = false;
    double lastCheck = 0;
    double now = 1'800'000'000;

    StartupSteps steps() {
        return {
            .removeSignatureFiles = [this] { calls.push_back("remove"); },
            .onTerminate = [this](StartupSteps::Action action) {
                calls.push_back("onTerminate");
                atEnd.push_back(std::move(action));
            },
            .startHost = [this] { calls.push_back("startHost"); },
            .later = [this](StartupSteps::Action action) {
                calls.push_back("later");
                queued.push_back(std::move(action));
            },
            .hasSeenWelcome = [this] { return seenWelcome; },
            .showWelcome = [this] { calls.push_back("welcome"); },
            .lastUpdateCheck = [this] { return lastCheck; },
            .now = [this] { return now; },
            .checkForUpdates = [this] { calls.push_back("update"); },
        };
    }

    void runQueued() {
        for (auto& action : std::exchange(queued, {})) action();
    }
};

TEST(StartupTest, FirstLaunchRunsEveryStepInOrderWithTheWelcomeAfterStartUp) {
    Recorder recorder;
    inkwarden::runStartup(recorder.steps());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"remove", "onTerminate", "startHost", "later", "update"}));
    recorder.runQueued();
    EXPECT_EQ(recorder.calls.back(), "welcome");

    // The registered clean-up is the same removal, run again at each termination.
    recorder.calls.clear();
    ASSERT_EQ(recorder.atEnd.size(), 1u);
    recorder.atEnd[0]();
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"remove"});
}

TEST(StartupTest, WelcomeOnlyUntilSeenAndReadWhenItRuns) {
    Recorder recorder;
    recorder.seenWelcome = true;
    inkwarden::runStartup(recorder.steps());
    recorder.runQueued();
    EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), "welcome"), 0);

    Recorder later;
    inkwarden::runStartup(later.steps());
    later.seenWelcome = true;  // seen between start-up and the queued check
    later.runQueued();
    EXPECT_EQ(std::count(later.calls.begin(), later.calls.end(), "welcome"), 0);
}

TEST(StartupTest, UpdatesAreCheckedOnlyMoreThanADayAfterTheLastCheck) {
    struct Case {
        const char* name;
        double sinceLastCheck;
        bool checks;
    };
    const Case cases[] = {
        {"OneHour", 3600, false},
        {"ExactlyADay", 86400, false},
        {"ADayAndASecond", 86401, true},
        {"ClockSetBack", -3600, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        recorder.lastCheck = recorder.now - c.sinceLastCheck;
        inkwarden::runStartup(recorder.steps());
        EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), "update"), c.checks ? 1 : 0);
    }
}

}  // namespace
