#include "ui/connection_section.hpp"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "shell/app_settings.hpp"
#include "support/temporary_folder.hpp"
#include "ui/menu_row.hpp"
#include "ui/panel_settings.hpp"
#include "ui/setup_prompt.hpp"

namespace {

using inkwarden::AppSettings;
using inkwarden::ClientSetup;
using inkwarden::ConnectionSection;
using inkwarden::MenuRow;
using inkwarden::PanelSettings;
using testing_support::ScopedEnvironment;
using testing_support::TemporaryFolder;

class ConnectionSectionTest : public testing::Test {
protected:
    TemporaryFolder home;
    ScopedEnvironment config{"XDG_CONFIG_HOME", (home / "config").string()};
    int restarts = 0;

    std::unique_ptr<ConnectionSection> makeSection() {
        auto section = std::make_unique<ConnectionSection>([this] { ++restarts; });
        section->resize(308, 400);
        section->show();
        // Shortcuts act in the active window; offscreen, nothing activates a window by itself.
        section->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(section.get()));
        return section;
    }

    template <class T>
    static T* child(QWidget& parent, const char* name) {
        auto* found = parent.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Lets the layout place a widget that was just shown, as the event loop would before a click.
    static void click(QWidget* widget) {
        QCoreApplication::processEvents();
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, 4));
    }

    static void pick(ConnectionSection& section, ClientSetup client) {
        auto* picker = child<QComboBox>(section, "clientPicker");
        picker->setCurrentIndex(static_cast<int>(client.kind()));
        Q_EMIT picker->activated(picker->currentIndex());
    }

    static QString clipboard() { return QGuiApplication::clipboard()->text(); }
};

TEST_F(ConnectionSectionTest, OpensUntilAClientConnectsUnlessTheUserChose) {
    struct Case {
        const char* stored;
        bool hasConnectedClient;
        bool expanded;
    };
    const Case cases[] = {
        {"", false, true}, {"", true, false},     {"open", true, true},
        {"closed", false, false}, {"Open", false, false}, {"garbage", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + (c.hasConnectedClient ? " connected" : " never connected"));
        EXPECT_EQ(inkwarden::connectExpanded(c.stored, c.hasConnectedClient), c.expanded);
    }

    auto section = makeSection();
    auto* content = child<MenuRow>(*section, "copyPromptRow");
    EXPECT_TRUE(content->isVisible()) << "a fresh installation shows the section open";
    AppSettings::setHasConnectedClient(true);
    section->refresh();
    EXPECT_FALSE(content->isVisible()) << "it closes once a client has connected";
    click(child<QWidget>(*section, "connectHeader"));
    EXPECT_EQ(PanelSettings::connectSection(), "open");
    EXPECT_TRUE(content->isVisible());
    click(child<QWidget>(*section, "connectHeader"));
    EXPECT_EQ(PanelSettings::connectSection(), "closed");
    AppSettings::setHasConnectedClient(false);
    section->refresh();
    EXPECT_FALSE(content->isVisible()) << "a section the user closed stays closed";
}

TEST_F(ConnectionSectionTest, CopyRowsFillTheClipboardAndOneRowAtATimeSaysCopied) {
    auto section = makeSection();
    auto* prompt = child<MenuRow>(*section, "copyPromptRow");
    auto* settings = child<MenuRow>(*section, "copySettingsRow");
    click(child<MenuRow>(*section, "manualSetupRow"));
    ASSERT_TRUE(settings->isVisible());

    click(prompt);
    EXPECT_EQ(clipboard().toStdString(),
              inkwarden::setupPrompt(inkwarden::applicationExecutablePath(), AppSettings::endpoint()));
    EXPECT_EQ(prompt->title(), "Copied");
    EXPECT_EQ(prompt->iconName(), "checkmark");
    EXPECT_EQ(settings->title(), "Copy Settings");

    click(settings);
    EXPECT_EQ(clipboard().toStdString(),
              ClientSetup(ClientSetup::claudeCode)
                  .snippet(inkwarden::applicationExecutablePath(), AppSettings::endpoint(), [] { return ""; }));
    EXPECT_EQ(settings->title(), "Copied");
    EXPECT_EQ(prompt->title(), "Copy Setup Prompt");
    EXPECT_EQ(prompt->iconName(), "doc.on.doc");

    click(prompt);
    pick(*section, ClientSetup::cursor);
    EXPECT_EQ(prompt->title(), "Copy Setup Prompt") << "picking a client clears the mark";
    EXPECT_EQ(settings->title(), "Copy Settings");
    EXPECT_EQ(PanelSettings::connectClient(), ClientSetup::cursor);
    EXPECT_EQ(child<QLabel>(*section, "clientHint")->text(), ClientSetup(ClientSetup::cursor).hint());
}

TEST_F(ConnectionSectionTest, TokenResetIsOfferedForHTTPAndAsksFirst) {
    auto section = makeSection();
    click(child<MenuRow>(*section, "manualSetupRow"));
    auto* resetRow = child<MenuRow>(*section, "resetTokenRow");
    auto* confirmation = child<QWidget>(*section, "resetConfirmation");
    for (auto client : ClientSetup::allCases()) {
        pick(*section, client);
        EXPECT_EQ(resetRow->isVisible(), client == ClientSetup::otherHTTP) << client.rawValue();
    }
    pick(*section, ClientSetup::otherHTTP);
    const auto token = AppSettings::token();

    click(resetRow);
    EXPECT_TRUE(confirmation->isVisible());
    EXPECT_FALSE(resetRow->isVisible());
    auto* cancel = child<QPushButton>(*section, "cancelResetButton");
    auto* reset = child<QPushButton>(*section, "confirmResetButton");
    EXPECT_EQ(cancel->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_EQ(reset->shortcut(), QKeySequence(Qt::Key_Return));
    // A shortcut presses its button briefly, as a click would look.
    QTest::keyClick(section.get(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !confirmation->isVisible(); })) << "Escape cancels";
    EXPECT_EQ(AppSettings::token(), token);
    EXPECT_EQ(restarts, 0);

    click(child<MenuRow>(*section, "copySettingsRow"));
    click(resetRow);
    QTest::keyClick(section.get(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !confirmation->isVisible(); }));
    const auto newToken = AppSettings::token();
    EXPECT_NE(newToken, token) << "Return resets";
    EXPECT_EQ(newToken.size(), 48u);
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(confirmation->isVisible());
    EXPECT_TRUE(child<QWidget>(*section, "tokenNotice")->isVisible());
    EXPECT_EQ(child<MenuRow>(*section, "copySettingsRow")->title(), "Copy Settings") << "the mark is cleared";

    click(child<MenuRow>(*section, "copySettingsRow"));
    EXPECT_TRUE(clipboard().endsWith(QString::fromStdString("Bearer " + newToken)));
}

}  // namespace
