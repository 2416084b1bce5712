#include "shell/welcome_window.hpp"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "host/host_status.hpp"
#include "shell/app_settings.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"
#include "ui/welcome_view.hpp"

namespace {

using inkwarden::AppSettings;
using inkwarden::WelcomeWindow;

class WelcomeWindowTest : public testing::Test {
protected:
    void SetUp() override { testing_support::qtApplication(); }

    testing_support::TemporaryFolder home;
    testing_support::ScopedEnvironment config{"XDG_CONFIG_HOME", (home / "config").string()};
    inkwarden::HostStatus host;
};

TEST_F(WelcomeWindowTest, BuiltOnceAndSeenOnlyOnceClosed) {
    WelcomeWindow welcome(host);
    EXPECT_EQ(welcome.window(), nullptr) << "nothing is built before it is shown";

    welcome.show();
    auto* window = welcome.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Welcome to Inkwarden");
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->width(), inkwarden::WelcomeView::kWidth);
    EXPECT_EQ(window->height(), welcome.view()->heightForWidth(inkwarden::WelcomeView::kWidth)) << "as tall as its content";
    EXPECT_FALSE(AppSettings::hasSeenWelcome()) << "not before it closes";

    // Shown again while open: the same window, brought to the front.
    welcome.view()->copyPrompt();
    welcome.show();
    EXPECT_EQ(welcome.window(), window);

    QTest::mouseClick(window->findChild<QPushButton*>("doneButton"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(AppSettings::hasSeenWelcome());

    // Reopened (the panel's setup guide), it is the same window with the same view state, and
    // its close button marks it seen as well.
    AppSettings::setHasSeenWelcome(false);
    welcome.show();
    EXPECT_EQ(welcome.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(welcome.view()->copied());
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(AppSettings::hasSeenWelcome());
}

TEST_F(WelcomeWindowTest, HandsOnTryIt) {
    WelcomeWindow welcome(host);
    QSignalSpy tries(&welcome, &WelcomeWindow::tryItRequested);
    welcome.show();
    QTest::mouseClick(welcome.window()->findChild<QPushButton*>("tryItButton"), Qt::LeftButton);
    EXPECT_EQ(tries.count(), 1);
    EXPECT_TRUE(welcome.window()->isVisible()) << "the welcome stays open behind the try-out";
}

}  // namespace
