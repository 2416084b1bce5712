#include "shell/inkwarden_app.hpp"

#include <fcntl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/host/host_harness.hpp"
#include "platform/app_folders.hpp"
#include "platform/single_instance.hpp"
#include "platform/tray_panel.hpp"
#include "shell/app_settings.hpp"
#include "shell/process_entry.hpp"
#include "shell/startup.hpp"
#include "shell/welcome_window.hpp"
#include "support/feed_server.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"
#include "ui/client_setup.hpp"
#include "ui/menu_row.hpp"
#include "ui/menu_view.hpp"
#include "ui/status_header.hpp"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using inkwarden::AppSettings;
using inkwarden::testing::freePort;
using testing_support::ScopedEnvironment;
using testing_support::TemporaryFolder;

// The status code of a ping POSTed with `token`; 0 when nothing answers.
int pingStatus(std::uint16_t port, const std::string& token) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval limit{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return 0;
    }
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
    const std::string request = "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nAuthorization: Bearer " + token +
                                "\r\nAccept: application/json, text/event-stream\r\nContent-Type: application/json"
                                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    [[maybe_unused]] auto sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    if (answer.rfind("HTTP/1.1 ", 0) != 0) return 0;
    return std::stoi(answer.substr(9, 3));
}

// Pings from a helper thread while the Qt thread goes on serving the host's main-thread calls.
int pingFromAside(std::uint16_t port, const std::string& token) {
    auto answer = std::async(std::launch::async, [port, token] { return pingStatus(port, token); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.wait_for(0s) == std::future_status::ready; }, 20000));
    return answer.get();
}

class InkwardenAppTest : public testing::Test {
protected:
    void SetUp() override {
        testing_support::qtApplication();
        std::filesystem::create_directories(home / "run");
        std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
        port = freePort();
        AppSettings::file().update([this](boost::json::object& settings) {
            settings["port"] = port;
            settings["hasSeenWelcome"] = true;
            settings["connectClient"] = "otherHTTP";
            // Checked just now: no test reaches out to the real update feed.
            settings["lastUpdateCheck"] = inkwarden::secondsSince1970();
        });
    }

    TemporaryFolder home;
    ScopedEnvironment config{"XDG_CONFIG_HOME", (home / "config").string()};
    ScopedEnvironment data{"XDG_DATA_HOME", (home / "data").string()};
    ScopedEnvironment runtime{"XDG_RUNTIME_DIR", (home / "run").string()};
    std::uint16_t port = 0;
};

TEST_F(InkwardenAppTest, StartsCleanListensAndAResetTokenLocksOutTheOldOne) {
    std::filesystem::create_directories(inkwarden::SignatureStore::folder());
    const auto leftover = inkwarden::SignatureStore::folder() / "signature-0BADF00D.png";
    std::ofstream(leftover) << "left by a crash";

    inkwarden::InkwardenApp app;
    EXPECT_FALSE(std::filesystem::exists(leftover)) << "start-up removes leftover signature files";
    auto& panel = app.panel();
    EXPECT_TRUE(panel.isVisible()) << "without a tray the panel opens as a window";
    auto* status = panel.findChild<QLabel*>("status");
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.hostStatus().running(); }, 20000));
    EXPECT_EQ(status->text(), "Ready for your AI");
    EXPECT_EQ(panel.header()->toolTip(), QStringLiteral("Listening on 127.0.0.1:%1").arg(port));

    const auto oldToken = AppSettings::token();
    EXPECT_EQ(pingFromAside(port, oldToken), 200);

    auto click = [](QWidget* widget) {
        QCoreApplication::processEvents();
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, 4));
    };
    click(panel.findChild<inkwarden::MenuRow*>("manualSetupRow"));
    click(panel.findChild<inkwarden::MenuRow*>("resetTokenRow"));
    click(panel.findChild<QPushButton*>("confirmResetButton"));
    const auto newToken = AppSettings::token();
    ASSERT_NE(newToken, oldToken);

    // The restart runs on its own; once it is through, only the new token gets in.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pingFromAside(port, oldToken) == 401; }, 20000));
    EXPECT_EQ(pingFromAside(port, newToken), 200);
    EXPECT_TRUE(app.hostStatus().running());

    // The host marking its first client closes the section without the panel being reopened.
    auto* prompt = panel.findChild<inkwarden::MenuRow*>("copyPromptRow");
    EXPECT_TRUE(prompt->isVisible());
    AppSettings::setHasConnectedClient(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompt->isVisible(); }, 20000));

    // The header follows the host as a client names itself.
    app.hostStatus().setLastClient("Claude Code");
    EXPECT_EQ(status->text(), "Connected: Claude Code");
    app.hostStatus().setRunning(false);
    EXPECT_EQ(status->text(), "Not running");
}

TEST_F(InkwardenAppTest, AKnockFromASecondStartShowsTheClosedPanel) {
    inkwarden::InkwardenApp app;
    app.panel().close();
    EXPECT_FALSE(app.panel().isVisible());
    inkwarden::SingleInstance::knock(inkwarden::knockSocket());
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.panel().isVisible(); }, 20000));
}

TEST_F(InkwardenAppTest, QuittingRemovesTheSignatureFilesOfTheRun) {
    inkwarden::InkwardenApp app;
    std::filesystem::create_directories(inkwarden::SignatureStore::folder());
    const auto file = app.signatureStore().save("png", "signature", "png");
    ASSERT_TRUE(std::filesystem::exists(file));
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(InkwardenAppTest, AFirstLaunchWelcomesAndChecksForUpdatesALaterOneOnlyWhenADayHasPassed) {
    testing_support::ScriptedHttpServer feed([](const testing_support::RecordedRequest&) {
        return testing_support::ScriptedHttpServer::Reply{200, R"({"version":"0.1","build":0,"page":"https://example.org/"})"};
    });
    auto options = [&feed] {
        inkwarden::UpdateCheck::Options options;
        options.feed = boost::urls::url(feed.url("/version.json"));
        return options;
    };
    using Kind = inkwarden::UpdateCheck::State::Kind;
    {
        AppSettings::file().update([](boost::json::object& settings) {
            settings.erase("hasSeenWelcome");
            settings.erase("lastUpdateCheck");
        });
        inkwarden::InkwardenApp app(options());
        EXPECT_EQ(app.updateCheck().state().kind, Kind::checking);
        EXPECT_TRUE(QTest::qWaitFor([&] { return app.updateCheck().state().kind == Kind::current; }, 20000));
        EXPECT_GT(AppSettings::lastUpdateCheck(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return app.welcomeWindow().window() && app.welcomeWindow().window()->isVisible(); }, 20000));
        EXPECT_FALSE(AppSettings::hasSeenWelcome());
        app.welcomeWindow().window()->close();
        EXPECT_TRUE(AppSettings::hasSeenWelcome());

        // The panel's footer follows the same check and reopens the welcome.
        auto* updateRow = app.panel().findChild<inkwarden::MenuRow*>("updateRow");
        ASSERT_NE(updateRow, nullptr);
        EXPECT_EQ(updateRow->subtitle(), QStringLiteral("Inkwarden is up to date."));
        QCoreApplication::processEvents();
        QTest::mouseClick(app.panel().findChild<inkwarden::MenuRow*>("setupGuideRow"), Qt::LeftButton, {}, QPoint(4, 4));
        EXPECT_TRUE(app.welcomeWindow().window()->isVisible());
    }
    EXPECT_EQ(feed.requests().size(), 1u);

    AppSettings::setLastUpdateCheck(inkwarden::secondsSince1970() - 3600);
    {
        inkwarden::InkwardenApp app(options());
        QCoreApplication::processEvents();
        EXPECT_EQ(app.updateCheck().state().kind, Kind::idle);
        EXPECT_EQ(app.welcomeWindow().window(), nullptr) << "seen before";
    }
    EXPECT_EQ(feed.requests().size(), 1u);
}

// The real executable, next to the test folder in the build tree.
std::filesystem::path executable() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "inkwarden";
}

pid_t launch(const std::vector<std::string>& arguments, int outputFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits, bounded, for `pid` to end; its exit status, or -1 when it is still running.
int exitStatus(pid_t pid, std::chrono::seconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(10ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(InkwardenAppTest, ASecondInstanceLeavesQuietlyAndATermSignalEndsTheFirstCleanly) {
    ASSERT_TRUE(std::filesystem::exists(executable())) << executable();
    ScopedEnvironment offscreen("QT_QPA_PLATFORM", "offscreen");
    const auto firstLog = home / "first.log";
    const auto secondLog = home / "second.log";
    const int firstOut = ::open(firstLog.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const pid_t first = launch({executable().string()}, firstOut);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pingStatus(port, AppSettings::token()) == 200; }, 20000))
        << contents(firstLog);

    const int secondOut = ::open(secondLog.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const pid_t second = launch({executable().string()}, secondOut);
    EXPECT_EQ(exitStatus(second), 0);
    EXPECT_EQ(contents(secondLog), "") << "nothing said";
    EXPECT_EQ(pingStatus(port, AppSettings::token()), 200) << "the first goes on serving";

    const auto file = inkwarden::SignatureStore::folder() / "signature-12345678.png";
    std::ofstream(file) << "written during the run";
    ::kill(first, SIGTERM);
    EXPECT_EQ(exitStatus(first), 0);
    EXPECT_FALSE(std::filesystem::exists(file)) << "the clean-up ran on the way out";
    ::close(firstOut);
    ::close(secondOut);
}

TEST(ProcessEntryTest, TheRelaySwitchIsTheExactArgument) {
    struct Case {
        std::vector<const char*> arguments;
        bool relay;
    };
    const Case cases[] = {
        {{"inkwarden"}, false},
        {{"inkwarden", "--stdio"}, true},
        {{"inkwarden", "--verbose", "--stdio"}, true},
        {{"inkwarden", "--stdio=1"}, false},
        {{"inkwarden", "--STDIO"}, false},
        {{"inkwarden", "-stdio"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(inkwarden::wantsStdioRelay(static_cast<int>(c.arguments.size()), c.arguments.data()), c.relay)
            << c.arguments.back();
    }
}

}  // namespace
