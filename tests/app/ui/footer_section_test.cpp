#include "ui/footer_section.hpp"

#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

#include "platform/qt_main_thread.hpp"
#include "shell/app_settings.hpp"
#include "support/feed_server.hpp"
#include "support/temporary_folder.hpp"
#include "ui/about_dialog.hpp"
#include "ui/menu_row.hpp"

namespace {

using namespace std::chrono_literals;
using inkwarden::FooterSection;
using inkwarden::MenuRow;
using inkwarden::UpdateCheck;
using inkwarden::UpdateRow;
using Kind = inkwarden::UpdateCheck::State::Kind;
using testing_support::RecordedRequest;
using testing_support::ScopedEnvironment;
using testing_support::ScriptedHttpServer;
using testing_support::TemporaryFolder;

TEST(UpdateRowTest, EachStateHasItsRow) {
    struct Case {
        const char* name;
        UpdateCheck::State state;
        UpdateRow row;
    };
    const Case cases[] = {
        {"Available", UpdateCheck::State::available("2.0", "https://example.org/get"),
         {QStringLiteral("arrow.down.circle"), true, "Update Available",
          QStringLiteral("Version 2.0 is ready. Click to open the download page."), UpdateRow::Action::openPage}},
        {"Idle", {Kind::idle}, {std::nullopt, false, "Check for Updates…", std::nullopt, UpdateRow::Action::check}},
        {"Checking", {Kind::checking}, {std::nullopt, false, "Checking for Updates…", std::nullopt, UpdateRow::Action::none}},
        {"Current",
         {Kind::current},
         {std::nullopt, false, "Check for Updates…", QStringLiteral("Inkwarden is up to date."), UpdateRow::Action::check}},
        {"Failed",
         {Kind::failed},
         {std::nullopt, false, "Check for Updates…", QStringLiteral("Couldn't check. Try again later."),
          UpdateRow::Action::check}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inkwarden::updateRowFor(c.state), c.row);
    }
}

TEST(UpdateRowTest, OnlyAWebPageFromTheFeedIsOpened) {
    struct Case {
        const char* page;
        bool opened;
    };
    const Case cases[] = {
        {"https://example.org/get?v=2", true}, {"http://example.org/", true}, {"HTTPS://example.org/", true},
        {"file:///etc/passwd", false},         {"javascript:alert(1)", false}, {"download/latest", false},
        {"mailto:a@example.org", false},       {"https://", false},             {"smb://host/share", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        const auto page = inkwarden::downloadPage(c.page);
        EXPECT_EQ(page.has_value(), c.opened);
        if (page) {
            EXPECT_EQ(page->toString(QUrl::FullyEncoded).toLower(), QString(c.page).toLower());
        }
    }
}

// The links of rich text as a reader gets them: (text, href) in order.
std::vector<std::pair<QString, QString>> linksOf(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    std::vector<std::pair<QString, QString>> links;
    for (auto block = document.begin(); block != document.end(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const auto fragment = it.fragment();
            if (fragment.charFormat().isAnchor()) links.emplace_back(fragment.text(), fragment.charFormat().anchorHref());
        }
    }
    return links;
}

class FooterSectionTest : public testing::Test {
protected:
    TemporaryFolder home;
    ScopedEnvironment config{"XDG_CONFIG_HOME", (home / "config").string()};
    inkwarden::QtMainThread mainThread;
    std::string page = "https://example.org/get";
    int served = 0;
    ScriptedHttpServer server{[this](const RecordedRequest&) {
        ++served;
        if (served == 1) return ScriptedHttpServer::Reply{500, "<html>down</html>"};
        return ScriptedHttpServer::Reply{200, R"({"version":"2.0","build":99,"page":")" + page + R"("})"};
    }};
    std::unique_ptr<UpdateCheck> updates;
    std::vector<QUrl> opened;
    int welcomes = 0;
    int quits = 0;
    std::string supportMail = "mailto:support@inkwarden.app?subject=S&body=A%26B";

    std::unique_ptr<FooterSection> makeFooter() {
        UpdateCheck::Options options;
        options.feed = boost::urls::url(server.url("/version.json"));
        options.runningBuild = "1";
        updates = std::make_unique<UpdateCheck>(server.executor(), mainThread, std::move(options));
        auto footer = std::make_unique<FooterSection>(*updates, FooterSection::Actions{
                                                                    .showWelcome = [this] { ++welcomes; },
                                                                    .supportMail = [this] { return supportMail; },
                                                                    .openUrl = [this](const QUrl& url) { opened.push_back(url); },
                                                                    .quit = [this] { ++quits; },
                                                                });
        footer->resize(308, 200);
        footer->show();
        return footer;
    }

    static MenuRow* row(QWidget& footer, const char* name) {
        auto* found = footer.findChild<MenuRow*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static void click(QWidget* widget) {
        QCoreApplication::processEvents();
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, 4));
    }

    void waitWhileChecking() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return updates->state().kind != Kind::checking; }, 20000));
    }
};

TEST_F(FooterSectionTest, FourRowsInOrderWithoutGaps) {
    auto footer = makeFooter();
    QCoreApplication::processEvents();
    const char* names[] = {"setupGuideRow", "updateRow", "aboutRow", "quitRow"};
    const char* titles[] = {"Setup Guide…", "Check for Updates…", "About Inkwarden", "Quit Inkwarden"};
    int bottom = -1;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        auto* r = row(*footer, names[i]);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->title(), titles[i]);
        EXPECT_FALSE(r->iconName());
        EXPECT_FALSE(r->subtitle());
        EXPECT_EQ(r->y(), bottom + 1);
        bottom = r->geometry().bottom();
    }

    click(row(*footer, "setupGuideRow"));
    EXPECT_EQ(welcomes, 1);
}

TEST_F(FooterSectionTest, TheUpdateRowFollowsTheCheckAndActsOnItsState) {
    auto footer = makeFooter();
    auto* updateRow = row(*footer, "updateRow");

    click(updateRow);
    EXPECT_EQ(updateRow->title(), "Checking for Updates…") << "at once, before the feed answers";
    click(updateRow);
    waitWhileChecking();
    EXPECT_EQ(server.requests().size(), 1u) << "a click while checking does nothing";
    EXPECT_EQ(updateRow->title(), "Check for Updates…");
    EXPECT_EQ(updateRow->subtitle(), QStringLiteral("Couldn't check. Try again later."));

    click(updateRow);
    waitWhileChecking();
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(updateRow->title(), "Update Available");
    EXPECT_EQ(updateRow->iconName(), QStringLiteral("arrow.down.circle"));
    EXPECT_EQ(updateRow->subtitle(), QStringLiteral("Version 2.0 is ready. Click to open the download page."));

    click(updateRow);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("https://example.org/get")) << "the feed's page, not the web site";
    EXPECT_EQ(server.requests().size(), 2u) << "an offered update is not checked again";
}

TEST_F(FooterSectionTest, AFeedPageThatIsNoWebAddressIsNotOpened) {
    page = "file:///etc/passwd";
    served = 1;
    auto footer = makeFooter();
    auto* updateRow = row(*footer, "updateRow");
    click(updateRow);
    waitWhileChecking();
    EXPECT_EQ(updateRow->title(), "Update Available");
    click(updateRow);
    EXPECT_TRUE(opened.empty());
}

TEST_F(FooterSectionTest, QuitByRowAndByThePlatformShortcut) {
    auto footer = makeFooter();
    auto* keys = footer->findChild<QLabel*>("quitShortcut");
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->text(), "Ctrl+Q");

    click(row(*footer, "quitRow"));
    EXPECT_EQ(quits, 1);

    footer->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(footer.get()));
    QTest::keyClick(footer.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 2);
}

TEST_F(FooterSectionTest, TheAboutPanelLinksTheSupportMailBuiltWhenItOpens) {
    auto footer = makeFooter();
    click(row(*footer, "aboutRow"));
    auto* about = footer->aboutDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());

    auto links = linksOf(about->credits());
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].first, "support@inkwarden.app");
    EXPECT_EQ(links[0].second.toStdString(), supportMail) << "the link survives the rich text unchanged";
    EXPECT_EQ(links[1].first, "inkwarden.app");
    EXPECT_EQ(links[1].second, "https://inkwarden.app/");
    EXPECT_TRUE(about->credits().contains(
        "A signature drawn here is a simple electronic signature. It isn't a qualified electronic signature, and "
        "Inkwarden gives no legal advice."));

    // A link click goes to the opener with the exact address.
    auto* credits = about->findChild<QLabel*>("aboutCredits");
    Q_EMIT credits->linkActivated(links[0].second);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded).toStdString(), supportMail);

    // Opened again, the same panel shows credits built anew.
    about->close();
    supportMail = "mailto:support@inkwarden.app?subject=S&body=later";
    click(row(*footer, "aboutRow"));
    EXPECT_EQ(footer->aboutDialog(), about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(linksOf(about->credits())[0].second.toStdString(), supportMail);
}

}  // namespace
