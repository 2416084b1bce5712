#include "shell/update_check.hpp"

#include <chrono>
#include <memory>
#include <string>

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/qt_main_thread.hpp"
#include "shell/app_settings.hpp"
#include "support/feed_server.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"

namespace {

using namespace std::chrono_literals;
using inkwarden::AppSettings;
using inkwarden::UpdateCheck;
using Kind = inkwarden::UpdateCheck::State::Kind;
using testing_support::RecordedRequest;
using testing_support::ScopedEnvironment;
using testing_support::ScriptedHttpServer;
using testing_support::TemporaryFolder;

constexpr double kNow = 1'800'000'000.5;
const std::string kFeed = R"({"version":"1.5","build":42,"page":"https://example.org/get"})";

class UpdateCheckTest : public testing::Test {
protected:
    void SetUp() override { testing_support::qtApplication(); }

    std::unique_ptr<UpdateCheck> makeCheck(ScriptedHttpServer& server, std::string runningBuild = "41",
                                           std::chrono::milliseconds limit = 15s) {
        UpdateCheck::Options options;
        options.feed = boost::urls::url(server.url("/version.json"));
        options.limit = limit;
        options.runningBuild = std::move(runningBuild);
        options.now = [] { return kNow; };
        return std::make_unique<UpdateCheck>(server.executor(), mainThread, std::move(options));
    }

    // Runs one check and waits (bounded) for its outcome.
    static UpdateCheck::State checked(UpdateCheck& check) {
        check.check();
        EXPECT_EQ(check.state().kind, Kind::checking);
        EXPECT_TRUE(QTest::qWaitFor([&] { return check.state().kind != Kind::checking; }, 20000));
        return check.state();
    }

    TemporaryFolder home;
    ScopedEnvironment config{"XDG_CONFIG_HOME", (home / "config").string()};
    inkwarden::QtMainThread mainThread;
};

TEST_F(UpdateCheckTest, ComparesTheRunningBuildWithTheFeedsAndStoresTheTime) {
    ScriptedHttpServer server([](const RecordedRequest&) { return ScriptedHttpServer::Reply{200, kFeed}; });
    struct Case {
        const char* running;
        UpdateCheck::State expected;
    };
    const Case cases[] = {
        {"41", UpdateCheck::State::available("1.5", "https://example.org/get")},
        {"42", {Kind::current}},
        {"43", {Kind::current}},
        {"+41", UpdateCheck::State::available("1.5", "https://example.org/get")},
        {"1.2", UpdateCheck::State::available("1.5", "https://example.org/get")},
        {"", UpdateCheck::State::available("1.5", "https://example.org/get")},
        {"99999999999999999999", UpdateCheck::State::available("1.5", "https://example.org/get")},
        {"-7", UpdateCheck::State::available("1.5", "https://example.org/get")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.running);
        AppSettings::setLastUpdateCheck(0);
        auto check = makeCheck(server, c.running);
        EXPECT_EQ(checked(*check), c.expected);
        EXPECT_EQ(AppSettings::lastUpdateCheck(), kNow);
    }

    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().method, "GET");
    EXPECT_EQ(requests.front().target, "/version.json");
    EXPECT_EQ(requests.front().headers.get("Cache-Control"), std::optional<std::string>("no-cache"));
}

TEST_F(UpdateCheckTest, ReadsTheBodyWhateverTheStatusAndFailsOnAnythingButTheFeed) {
    struct Case {
        const char* name;
        int status;
        std::string body;
        Kind expected;
    };
    const Case cases[] = {
        {"ValidBodyWithServerError", 500, kFeed, Kind::available},
        {"ExtraMembersIgnored", 200, R"({"version":"2","build":42.0,"page":"https://x.example/","notes":[1]})", Kind::available},
        {"ErrorPage", 500, "<html>Internal Server Error</html>", Kind::failed},
        {"MissingPage", 200, R"({"version":"1.5","build":42})", Kind::failed},
        {"BuildAsText", 200, R"({"version":"1.5","build":"42","page":"https://example.org/get"})", Kind::failed},
        {"BuildWithFraction", 200, R"({"version":"1.5","build":42.5,"page":"https://example.org/get"})", Kind::failed},
        {"NullVersion", 200, R"({"version":null,"build":42,"page":"https://example.org/get"})", Kind::failed},
        {"EmptyPage", 200, R"({"version":"1.5","build":42,"page":""})", Kind::failed},
        {"PageNoURL", 200, R"({"version":"1.5","build":42,"page":"a b"})", Kind::failed},
        {"Array", 200, "[]", Kind::failed},
        {"Empty", 204, "", Kind::failed},
        {"Oversized", 200, std::string(100 * 1024, ' ') + kFeed, Kind::failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer server([&c](const RecordedRequest&) { return ScriptedHttpServer::Reply{c.status, c.body}; });
        AppSettings::setLastUpdateCheck(5);
        auto check = makeCheck(server);
        EXPECT_EQ(checked(*check).kind, c.expected);
        EXPECT_EQ(AppSettings::lastUpdateCheck(), c.expected == Kind::failed ? 5 : kNow)
            << "only a feed that was read counts as checked";
    }
}

TEST_F(UpdateCheckTest, FailsWithoutWaitingWhenNothingAnswersOrNothingListens) {
    ScriptedHttpServer stalling([](const RecordedRequest&) { return ScriptedHttpServer::Reply::stalling(); });
    auto check = makeCheck(stalling, "41", 200ms);
    QSignalSpy changes(check.get(), &UpdateCheck::stateChanged);
    EXPECT_EQ(checked(*check).kind, Kind::failed);
    EXPECT_EQ(changes.count(), 2) << "checking, then failed";
    EXPECT_EQ(AppSettings::lastUpdateCheck(), 0);

    // Offline: the connection is refused at once.
    UpdateCheck::Options options;
    options.feed = boost::urls::url("http://127.0.0.1:1/version.json");
    UpdateCheck offline(stalling.executor(), mainThread, std::move(options));
    EXPECT_EQ(checked(offline).kind, Kind::failed);

    // A failed check may be run again.
    check->check();
    EXPECT_EQ(check->state().kind, Kind::checking);
}

TEST_F(UpdateCheckTest, AFeedBehindACertificateTheSystemDoesNotTrustIsNotRead) {
    ScriptedHttpServer server([](const RecordedRequest&) { return ScriptedHttpServer::Reply{200, kFeed}; },
                              testing_support::TestCertificate::make({"IP:127.0.0.1"}));
    auto check = makeCheck(server);
    ASSERT_EQ(server.url("/").rfind("https://", 0), 0u);
    EXPECT_EQ(checked(*check).kind, Kind::failed);
    EXPECT_TRUE(server.requests().empty()) << "nothing is asked over a connection that failed its check";
    EXPECT_EQ(AppSettings::lastUpdateCheck(), 0);
}

TEST_F(UpdateCheckTest, ACheckWhileCheckingStartsNoSecondRequest) {
    ScriptedHttpServer server([](const RecordedRequest&) { return ScriptedHttpServer::Reply{200, kFeed}; });
    auto check = makeCheck(server, "42");
    QSignalSpy changes(check.get(), &UpdateCheck::stateChanged);
    check->check();
    check->check();
    EXPECT_TRUE(QTest::qWaitFor([&] { return check->state().kind == Kind::current; }, 20000));
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(changes.count(), 2);

    // Ending in the same state again tells nobody: only real changes are announced.
    changes.clear();
    EXPECT_EQ(checked(*check).kind, Kind::current);
    EXPECT_EQ(changes.count(), 2) << "checking, then current again";
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(UpdateCheckTest, AFetchThatEndsAfterTheCheckerIsGoneIsDropped) {
    ScriptedHttpServer stalling([](const RecordedRequest&) { return ScriptedHttpServer::Reply::stalling(); });
    // A limit long enough that both requests go out even on a loaded machine.
    auto gone = makeCheck(stalling, "41", 1s);
    gone->check();
    gone.reset();
    // Started later with the same limit, this one's outcome reaches the main thread after the
    // first one's, which must find its checker gone and do nothing.
    auto later = makeCheck(stalling, "41", 1s);
    EXPECT_EQ(checked(*later).kind, Kind::failed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stalling.requests().size() == 2u; }, 10000));
}

TEST(BuildNumberTest, ReadsAnOptionalSignAndDigitsOnly) {
    struct Case {
        const char* text;
        std::int64_t expected;
    };
    const Case cases[] = {{"27", 27}, {"+27", 27}, {"-3", -3}, {"007", 7}, {"", 0}, {"+", 0}, {"-", 0},
                          {"+-3", 0}, {"--3", 0}, {"1.2", 0}, {" 27", 0}, {"27 ", 0}, {"27a", 0},
                          {"9223372036854775807", 9223372036854775807}, {"9223372036854775808", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(inkwarden::buildNumber(c.text), c.expected);
    }
}

}  // namespace
