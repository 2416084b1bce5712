#include "shell/support_mail.hpp"

#include <filesystem>
#include <fstream>
#include <string>

#include <QUrl>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include "host/host_status.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"

namespace {

using inkwarden::SupportDiagnostics;
using inkwarden::SupportMail;

SupportDiagnostics sample() {
    SupportDiagnostics facts;
    facts.version = "1.4";
    facts.build = "27";
    facts.system = "Debian GNU/Linux 12 (bookworm)";
    facts.model = "ThinkPad X1";
    facts.running = true;
    facts.port = 47292;
    facts.lastClient = "Claude Code";
    facts.companyTextSet = true;
    facts.stampSet = true;
    facts.language = "de-CH";
    return facts;
}

const std::string kHead = "\n\n\n\u2014\nInkwarden 1.4 (27)\nLinux Debian GNU/Linux 12 (bookworm), ThinkPad X1\n";

TEST(SupportMailTest, TheBodyNamesTheHostTheClientAndTheCompanySetUp) {
    struct Case {
        const char* name;
        void (*change)(SupportDiagnostics&);
        std::string rest;
    };
    const Case cases[] = {
        {"Running", [](SupportDiagnostics&) {},
         "Server: running on port 47292\nLast AI app: Claude Code\n"
         "Company text: set \u00b7 Company stamp: set\nLanguage: de-CH"},
        {"RunningIgnoresAStaleProblem",
         [](SupportDiagnostics& f) {
             f.port = 8000;
             f.problem = "old";
         },
         "Server: running on port 8000\nLast AI app: Claude Code\n"
         "Company text: set \u00b7 Company stamp: set\nLanguage: de-CH"},
        {"StoppedWithProblem",
         [](SupportDiagnostics& f) {
             f.running = false;
             f.problem = "Port 47292: Address already in use";
         },
         "Server: not running (Port 47292: Address already in use)\nLast AI app: Claude Code\n"
         "Company text: set \u00b7 Company stamp: set\nLanguage: de-CH"},
        {"StoppedWithoutProblem",
         [](SupportDiagnostics& f) {
             f.running = false;
             f.lastClient.reset();
             f.stampSet = false;
             f.language.reset();
         },
         "Server: not running\nLast AI app: none since launch\n"
         "Company text: set \u00b7 Company stamp: not set\nLanguage: ?"},
        {"NothingSetUp",
         [](SupportDiagnostics& f) {
             f.companyTextSet = false;
             f.stampSet = false;
         },
         "Server: running on port 47292\nLast AI app: Claude Code\n"
         "Company text: not set \u00b7 Company stamp: not set\nLanguage: de-CH"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto facts = sample();
        c.change(facts);
        EXPECT_EQ(SupportMail::body(facts), kHead + c.rest);
    }
}

TEST(SupportMailTest, AMissingVersionOrBuildReadsAsAQuestionMark) {
    auto facts = sample();
    EXPECT_EQ(SupportMail::subject(facts), "Inkwarden 1.4 (27)");
    facts.version.reset();
    EXPECT_EQ(SupportMail::subject(facts), "Inkwarden ? (27)");
    facts.build.reset();
    EXPECT_EQ(SupportMail::subject(facts), "Inkwarden ? (?)");
    EXPECT_EQ(SupportMail::body(facts).rfind("\n\n\n\u2014\nInkwarden ? (?)\n", 0), 0u);
}

TEST(SupportMailTest, TheLinkEncodesEverythingButTheUnreservedAndDecodesBackExactly) {
    EXPECT_EQ(inkwarden::percentEncoded("aZ09-._~ +&=?/#%\n\u00b7"), "aZ09-._~%20%2B%26%3D%3F%2F%23%25%0A%C2%B7");

    auto facts = sample();
    facts.lastClient = "A&B=C+D?#%20";
    const auto link = SupportMail::url(facts);
    EXPECT_EQ(link.rfind("mailto:support@inkwarden.app?subject=Inkwarden%201.4%20%2827%29&body=%0A%0A%0A%E2%80%94%0A", 0), 0u)
        << link;
    EXPECT_EQ(link.find_first_of(" +\n"), std::string::npos);

    const QUrl url(QString::fromStdString(link), QUrl::StrictMode);
    ASSERT_TRUE(url.isValid());
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), "support@inkwarden.app");
    const QUrlQuery query(url);
    const auto items = query.queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].first, "subject");
    EXPECT_EQ(items[0].second.toStdString(), SupportMail::subject(facts));
    EXPECT_EQ(items[1].first, "body");
    EXPECT_EQ(items[1].second.toStdString(), SupportMail::body(facts));
}

TEST(SupportMailTest, FallsBackToThePlainAddressWhenNoURLResults) {
    EXPECT_EQ(SupportMail::link("help@example.org", "S", "B"), "mailto:help@example.org?subject=S&body=B");
    EXPECT_EQ(SupportMail::link("help desk@example.org", "S", "B"), "mailto:help desk@example.org");
}

TEST(SupportMailTest, TheModelIsTheFirmwaresProductNameUpToItsEnd) {
    testing_support::TemporaryFolder folder;
    struct Case {
        const char* name;
        std::string contents;
        std::string model;
    };
    const Case cases[] = {
        {"LineBreak", "ThinkPad X1 Carbon\n", "ThinkPad X1 Carbon"},
        {"Nul", std::string("Board\0junk", 10), "Board"},
        {"Empty", "\n", "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = folder / c.name;
        std::ofstream(file, std::ios::binary) << c.contents;
        EXPECT_EQ(inkwarden::hardwareModel(file), c.model);
    }
    EXPECT_EQ(inkwarden::hardwareModel(folder / "missing"), "?");
}

TEST(SupportMailTest, GathersTheHostStatusSettingsAndStoredStamp) {
    testing_support::qtApplication();
    testing_support::AppFoldersSandbox folders;
    inkwarden::HostStatus status;
    status.setRunning(false);
    status.setProblem("Port 9: refused");

    auto facts = SupportDiagnostics::gather(status);
    EXPECT_FALSE(facts.running);
    EXPECT_EQ(facts.problem, "Port 9: refused");
    EXPECT_EQ(facts.port, 47292) << "no port stored";
    EXPECT_FALSE(facts.lastClient);
    EXPECT_FALSE(facts.companyTextSet);
    EXPECT_FALSE(facts.stampSet);
    EXPECT_FALSE(facts.model.empty());
    EXPECT_TRUE(facts.version && !facts.version->empty());

    inkwarden::AppSettings::file().update([](boost::json::object& settings) { settings["port"] = 8123; });
    inkwarden::AppSettings::setCompanyText("  \n ");
    status.setRunning(true);
    status.setLastClient("Cursor");
    std::filesystem::create_directories(inkwarden::CompanyStamp::url().parent_path());
    std::ofstream(inkwarden::CompanyStamp::url()) << "png";
    facts = SupportDiagnostics::gather(status);
    EXPECT_EQ(facts.port, 8123);
    EXPECT_EQ(facts.lastClient, "Cursor");
    EXPECT_FALSE(facts.companyTextSet) << "white space alone is no company text";
    EXPECT_TRUE(facts.stampSet);

    inkwarden::AppSettings::setCompanyText("Jane Roe, CEO");
    EXPECT_TRUE(SupportDiagnostics::gather(status).companyTextSet);
}

}  // namespace
