#include "ui/signatures_section.hpp"

#include "signature/signature_store.hpp"
#include "support/qt_application.hpp"
#include "support/temporary_folder.hpp"
#include "support/test_main_thread.hpp"
#include "ui/menu_row.hpp"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace inkwarden {
namespace {

struct SignaturesSectionTest : ::testing::Test {
    SignaturesSectionTest() { section.show(); }

    MenuRow* deleteRow() const { return section.findChild<MenuRow*>("deleteSignaturesRow"); }
    QLabel* noFiles() const { return section.findChild<QLabel*>("noSignatures"); }
    MenuRow* tryRow() const { return section.findChild<MenuRow*>("tryItRow"); }

    QApplication& app = testing_support::qtApplication();  // before the first widget
    testing_support::AppFoldersSandbox folders;
    testing_support::ManualScheduler scheduler;
    SignatureStore store{scheduler};
    int panelClosed = 0;
    std::function<void(bool)> pendingTryOut;
    SignaturesSection section{store, [this](std::function<void(bool)> done) { pendingTryOut = std::move(done); },
                              [this] { ++panelClosed; }};
};

TEST_F(SignaturesSectionTest, CountRowFollowsTheStore) {
    EXPECT_FALSE(deleteRow()->isVisible());
    EXPECT_TRUE(noFiles()->isVisible());
    EXPECT_EQ(noFiles()->text(), "No signatures on disk.");

    store.save("a", "signature", "png");
    EXPECT_TRUE(deleteRow()->isVisible());
    EXPECT_FALSE(noFiles()->isVisible());
    EXPECT_EQ(deleteRow()->title(), "Delete Signatures Now");
    EXPECT_EQ(deleteRow()->subtitle(), QString("1 on disk, deleted after 10 minutes"));
    store.save("b", "stamp", "png");
    EXPECT_EQ(deleteRow()->subtitle(), QString("2 on disk, deleted after 10 minutes"));

    // Deleting takes every file at once, also those handed out a moment ago.
    QTest::mouseClick(deleteRow(), Qt::LeftButton);
    EXPECT_EQ(store.count(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(SignatureStore::folder()));
    EXPECT_TRUE(noFiles()->isVisible());
}

TEST_F(SignaturesSectionTest, TryItClosesThePanelAndShowsTheResult) {
    EXPECT_EQ(tryRow()->title(), "Try It");
    EXPECT_FALSE(tryRow()->subtitle());
    struct Case {
        bool worked;
        std::optional<QString> subtitle;
    };
    const Case cases[] = {{true, QString("It works. The test signature was deleted.")}, {false, std::nullopt}};
    for (const auto& test : cases) {
        QTest::mouseClick(tryRow(), Qt::LeftButton);
        EXPECT_GE(panelClosed, 1);
        ASSERT_TRUE(QTest::qWaitFor([this] { return static_cast<bool>(pendingTryOut); }, 5000));
        std::exchange(pendingTryOut, nullptr)(test.worked);
        EXPECT_EQ(section.tryResult(), test.subtitle);
        EXPECT_EQ(tryRow()->subtitle(), test.subtitle);
    }
}

}  // namespace
}  // namespace inkwarden
