#include "ui/welcome_view.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "host/host_status.hpp"
#include "shell/app_settings.hpp"
#include "support/temporary_folder.hpp"
#include "ui/client_setup.hpp"
#include "ui/setup_prompt.hpp"
#include "ui/spinner.hpp"

namespace {

using inkwarden::HostStatus;
using inkwarden::WelcomeView;
using testing_support::ScopedEnvironment;
using testing_support::TemporaryFolder;

class WelcomeViewTest : public testing::Test {
protected:
    TemporaryFolder home;
    ScopedEnvironment config{"XDG_CONFIG_HOME", (home / "config").string()};
    HostStatus host;
    int done = 0;

    std::unique_ptr<WelcomeView> makeView(bool previewAsNew = false) {
        auto view = std::make_unique<WelcomeView>(previewAsNew, [this] { ++done; }, host);
        view->show();
        QCoreApplication::processEvents();
        return view;
    }

    template <class T>
    static T* child(QWidget& parent, const char* name) {
        auto* found = parent.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    struct Seen {
        bool copyButton;
        QString copyText;
        bool checkMark;
        bool status;
        bool spinner;
        QString statusText;
    };

    static void expectShows(WelcomeView& view, const Seen& seen) {
        QCoreApplication::processEvents();
        auto* copy = child<QPushButton>(view, "copyPromptButton");
        EXPECT_EQ(copy->isVisible(), seen.copyButton);
        if (seen.copyButton) {
            EXPECT_EQ(copy->text(), seen.copyText);
        }
        EXPECT_EQ(child<QLabel>(view, "connectedMark")->isVisible(), seen.checkMark);
        EXPECT_EQ(child<QWidget>(view, "welcomeStatus")->isVisible(), seen.status);
        EXPECT_EQ(child<inkwarden::Spinner>(view, "statusSpinner")->isVisible(), seen.spinner);
        if (seen.status) {
            EXPECT_EQ(child<QLabel>(view, "statusText")->text(), seen.statusText);
        }
    }
};

TEST_F(WelcomeViewTest, TheFirstStepAndStatusFollowCopyingAndTheHost) {
    auto view = makeView();
    expectShows(*view, {true, "Copy Prompt", false, false, false, {}});

    QGuiApplication::clipboard()->setText("something else");
    QTest::mouseClick(child<QPushButton>(*view, "copyPromptButton"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              inkwarden::setupPrompt(inkwarden::applicationExecutablePath(), inkwarden::AppSettings::endpoint()));
    EXPECT_TRUE(view->copied());
    expectShows(*view, {true, "Copied", false, true, true, "Waiting for your AI to connect…"});

    // The prompt names the endpoint of the moment it is copied.
    inkwarden::AppSettings::file().update([](boost::json::object& settings) { settings["port"] = 8123; });
    QTest::mouseClick(child<QPushButton>(*view, "copyPromptButton"), Qt::LeftButton);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("http://127.0.0.1:8123/mcp"));

    host.setLastClient("Claude Code");
    expectShows(*view, {false, {}, true, true, false, "Connected: Claude Code"});
    host.setLastClient("Cursor");
    expectShows(*view, {false, {}, true, true, false, "Connected: Cursor"});
}

TEST_F(WelcomeViewTest, AClientConnectedBeforeShowsAtOnceUnlessPreviewingAsNew) {
    host.setLastClient("Claude Code");
    auto view = makeView();
    expectShows(*view, {false, {}, true, true, false, "Connected: Claude Code"});
    EXPECT_FALSE(view->copied());

    auto preview = makeView(true);
    expectShows(*preview, {true, "Copy Prompt", false, false, false, {}});
    preview->copyPrompt();
    expectShows(*preview, {true, "Copied", false, true, true, "Waiting for your AI to connect…"});
}

TEST_F(WelcomeViewTest, ReturnMeansDoneWhereverTheFocusIsAndTryItIsHandedOn) {
    auto view = makeView();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    auto* copy = child<QPushButton>(*view, "copyPromptButton");
    copy->setFocus();
    QTest::keyClick(copy, Qt::Key_Return);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(view->copied()) << "Return is not a click on the focused button";
    QTest::mouseClick(child<QPushButton>(*view, "doneButton"), Qt::LeftButton);
    EXPECT_EQ(done, 2);

    QSignalSpy tries(view.get(), &WelcomeView::tryItRequested);
    QTest::mouseClick(child<QPushButton>(*view, "tryItButton"), Qt::LeftButton);
    EXPECT_EQ(tries.count(), 1);
    EXPECT_EQ(done, 2);
}

TEST_F(WelcomeViewTest, TheStatusLineStandsUnderTheStepTextsAndTheDoneButtonIsCapped) {
    host.setLastClient("Claude Code");
    auto view = makeView();
    EXPECT_EQ(view->width(), WelcomeView::kWidth);

    auto* statusText = child<QLabel>(*view, "statusText");
    QLabel* stepTitle = nullptr;
    for (auto* label : view->findChildren<QLabel*>()) {
        if (label->text() == "Connect your AI") stepTitle = label;
    }
    ASSERT_NE(stepTitle, nullptr);
    // The step texts start after the 36-wide symbol frame and 16 of spacing.
    EXPECT_EQ(statusText->mapTo(view.get(), QPoint()).x(), stepTitle->mapTo(view.get(), QPoint()).x());
    EXPECT_EQ(stepTitle->mapTo(view.get(), QPoint()).x(), 44 + 36 + 16);

    auto* done = child<QPushButton>(*view, "doneButton");
    EXPECT_EQ(done->width(), 260);
    EXPECT_EQ(done->mapTo(view.get(), QPoint()).x() + done->width() / 2, WelcomeView::kWidth / 2);
    EXPECT_EQ(done->mapTo(view.get(), QPoint()).y() + done->height(), view->height() - 28);

    // The line is drawn 14 above its place, which keeps the usual 22 above and below it.
    auto* status = child<QWidget>(*view, "welcomeStatus");
    EXPECT_EQ(status->y() - (stepTitle->parentWidget()->geometry().bottom() + 1), 22 - 14);
    const int connectedHeight = view->heightForWidth(WelcomeView::kWidth);
    const int statusHeight = status->height();
    host.setLastClient(std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(connectedHeight - view->heightForWidth(WelcomeView::kWidth), statusHeight + 22) << "gone with its spacing";
}

}  // namespace
