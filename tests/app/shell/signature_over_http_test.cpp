#include "shell/inkwarden_app.hpp"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <string>

#include "app/host/host_harness.hpp"
#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "signature/signature_pad.hpp"
#include "signature/signature_store.hpp"
#include "support/qt_application.hpp"
#include "support/signing_fixtures.hpp"
#include "support/temporary_folder.hpp"
#include "ui/menu_row.hpp"
#include "ui/menu_view.hpp"
#include "ui/signatures_section.hpp"
#include "ui/welcome_view.hpp"

namespace {

using namespace std::chrono_literals;
using inkwarden::AppSettings;

std::string stampPng() { return testing_support::imageBytes(90, 60, Qt::darkRed); }

using inkwarden::testing::toolCall;

QWidget* shownSignatureView() {
    for (auto* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        if (auto* view = window->findChild<QWidget*>("signatureView")) return view;
    }
    return nullptr;
}

/// Draws one stroke across the pad with the mouse.
void sign(QWidget* view) {
    testing_support::dragMouse(view->findChild<inkwarden::SignaturePad*>(), {60, 120},
                               {{120, 160}, {200, 110}, {300, 170}});
}

class SignatureOverHttpTest : public testing::Test {
protected:
    void SetUp() override {
        testing_support::qtApplication();
        std::filesystem::permissions(home.path() / "run", std::filesystem::perms::owner_all);
        AppSettings::file().update([this](boost::json::object& settings) {
            settings["port"] = port;
            settings["token"] = "secret";
            settings["hasSeenWelcome"] = true;
        });
        AppSettings::setCompanyText("Jane Doe\nACME Ltd");
        inkwarden::CompanyStamp::save(stampPng());
    }

    std::future<std::string> post(const std::string& request) {
        return std::async(std::launch::async, [this, request] {
            inkwarden::testing::RawClient client(port);
            client.send(request);
            return client.receiveAll();
        });
    }

    testing_support::AppFoldersSandbox home;
    std::uint16_t port = inkwarden::testing::freePort();
};

TEST_F(SignatureOverHttpTest, ClientGetsTheSignatureWithCompanyTextAndStamp) {
    inkwarden::InkwardenApp app;
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.hostStatus().running(); }, 20000));

    auto answer = post(toolCall(port, "request_signature",
                                R"({"reason":"Lease for the flat","document":"lease.pdf","company":true,"stamp":true})"));
    ASSERT_TRUE(QTest::qWaitFor([] { return shownSignatureView() != nullptr; }, 20000));
    auto* view = shownSignatureView();
    EXPECT_EQ(view->findChild<QLabel*>("title")->text(), "Claude asks for your company signature");
    EXPECT_EQ(view->findChild<QLabel*>("reason")->text(), "Lease for the flat");
    EXPECT_TRUE(view->window()->windowFlags() & Qt::WindowStaysOnTopHint);
    auto* signButton = view->findChild<QPushButton*>("signButton");
    EXPECT_FALSE(signButton->isEnabled());

    // A second client meanwhile is told the window is busy.
    auto busy = post(toolCall(port, "request_signature", R"({"reason":"Another"})"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return busy.wait_for(0s) == std::future_status::ready; }, 20000));
    EXPECT_NE(busy.get().find("Another Inkwarden request is already open."), std::string::npos);

    sign(view);
    QTest::keyClick(view->window(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.wait_for(0s) == std::future_status::ready; }, 20000));
    const auto reply = answer.get();
    EXPECT_NE(reply.find(R"(\"status\":\"signed\")"), std::string::npos) << reply.substr(0, 600);
    EXPECT_NE(reply.find(R"(\"company_text\":\"Jane Doe\\nACME Ltd\")"), std::string::npos) << reply.substr(0, 600);
    EXPECT_NE(reply.find(R"(\"stamp_path\":)"), std::string::npos) << reply.substr(0, 600);
    EXPECT_NE(reply.find(R"("mimeType":"image/png","type":"image")"), std::string::npos) << reply.substr(0, 600);
    EXPECT_EQ(app.signatureStore().count(), 2);
    EXPECT_FALSE(app.requestGate().isOpen());
}

TEST_F(SignatureOverHttpTest, PanelTryOutSignsAndDeletesTheFiles) {
    inkwarden::InkwardenApp app;
    auto* section = app.panel().findChild<inkwarden::SignaturesSection*>();
    ASSERT_NE(section, nullptr);
    auto* tryRow = section->findChild<inkwarden::MenuRow*>("tryItRow");
    QTest::mouseClick(tryRow, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return shownSignatureView() != nullptr; }, 20000));
    auto* view = shownSignatureView();
    EXPECT_EQ(view->findChild<QLabel*>("title")->text(), "Inkwarden asks for your company signature");
    EXPECT_EQ(view->findChild<QLabel*>("reason")->text(), "This is a test. Nothing is sent to your AI.");
    sign(view);
    QTest::mouseClick(view->findChild<QPushButton*>("signButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return section->tryResult().has_value(); }, 20000));
    EXPECT_EQ(*section->tryResult(), "It works. The test signature was deleted.");
    EXPECT_EQ(app.signatureStore().count(), 0);
    EXPECT_FALSE(app.requestGate().isOpen());
}

TEST_F(SignatureOverHttpTest, WelcomeTryOutThatIsCancelledLeavesNoFile) {
    inkwarden::InkwardenApp app;
    app.signatureStore().save("handed out a moment ago", "signature", "png");
    app.welcomeWindow().show();
    QTest::mouseClick(app.welcomeWindow().view()->findChild<QPushButton*>("tryItButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return shownSignatureView() != nullptr; }, 20000));
    auto* view = shownSignatureView();
    EXPECT_EQ(view->findChild<QLabel*>("title")->text(), "Inkwarden asks for your signature");
    EXPECT_TRUE(app.welcomeWindow().window()->isVisible()) << "the welcome window stays open behind it";
    QTest::mouseClick(view->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.requestGate().isOpen(); }, 20000));
    // Whatever the outcome, the try-out ends with no signature file left.
    EXPECT_EQ(app.signatureStore().count(), 0);
}

}  // namespace
