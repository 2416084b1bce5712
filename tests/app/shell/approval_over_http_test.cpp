#include "shell/inkwarden_app.hpp"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "app/host/host_harness.hpp"
#include "platform/base64.hpp"
#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"
#include "ui/company_section.hpp"
#include "ui/menu_view.hpp"

namespace {

using namespace std::chrono_literals;
using inkwarden::AppSettings;

std::string pngBytes() {
    QImage image(64, 32, QImage::Format_ARGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

using inkwarden::testing::toolCall;

QWidget* shownApprovalView() {
    for (auto* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        if (auto* view = window->findChild<QWidget*>("approvalView")) return view;
    }
    return nullptr;
}

class ApprovalOverHttpTest : public testing::Test {
protected:
    void SetUp() override {
        testing_support::qtApplication();
        std::filesystem::permissions(home.path() / "run", std::filesystem::perms::owner_all);
        AppSettings::file().update([this](boost::json::object& settings) {
            settings["port"] = port;
            settings["token"] = "secret";
            settings["hasSeenWelcome"] = true;
        });
    }

    /// Posts from a helper thread while the Qt thread serves the dialog; gives the raw answer.
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

TEST_F(ApprovalOverHttpTest, ClientSetsTheStampOnceTheUserApprovesAndThePanelShowsIt) {
    inkwarden::InkwardenApp app;
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.hostStatus().running(); }, 20000));
    auto* section = app.panel().findChild<inkwarden::CompanySection*>();
    ASSERT_NE(section, nullptr);
    EXPECT_FALSE(section->stamp());

    const auto png = pngBytes();
    auto answer = post(toolCall(port, "set_company_stamp",
                                R"({"png_base64":")" + platform::base64Encode(png) + R"("})"));
    ASSERT_TRUE(QTest::qWaitFor([] { return shownApprovalView() != nullptr; }, 20000));
    auto* view = shownApprovalView();
    EXPECT_EQ(view->findChild<QLabel*>("approvalTitle")->text(), "Claude wants to set your company stamp");
    EXPECT_TRUE(view->window()->windowFlags() & Qt::WindowStaysOnTopHint);

    // A second client meanwhile is told the window is busy, at once.
    auto busy = post(toolCall(port, "set_company_text", R"({"text":"ACME"})"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return busy.wait_for(0s) == std::future_status::ready; }, 20000));
    EXPECT_NE(busy.get().find("Another Inkwarden request is already open."), std::string::npos);

    QTest::keyClick(view->window(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.wait_for(0s) == std::future_status::ready; }, 20000));
    EXPECT_NE(answer.get().find(R"({\"status\":\"saved\"})"), std::string::npos);
    EXPECT_EQ(inkwarden::readRegularFile(inkwarden::CompanyStamp::url()), inkwarden::CompanyStamp::normalized(png));
    ASSERT_TRUE(section->stamp()) << "the panel shows the new stamp at once";
    EXPECT_EQ(section->stamp()->size(), QSize(64, 32));
}

}  // namespace
