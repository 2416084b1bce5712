#include "signature/approval_request.hpp"

#include "signature/tool_error.hpp"
#include "support/test_main_thread.hpp"
#include "support/qt_application.hpp"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace inkwarden {
namespace {

using namespace std::chrono_literals;

struct ApprovalFixture : ::testing::Test {
    ApprovalFixture() { testing_support::qtApplication(); }
    ~ApprovalFixture() override {
        scheduler.advance(1h);  // ends whatever a failed test left open
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    testing_support::ManualScheduler scheduler;
    RequestGate gate{scheduler};
    ApprovalRequest approval{gate};
    std::vector<GateOutcome<bool>> outcomes;

    QWidget* ask(ApprovalQuestion question) {
        approval.ask(std::move(question), [this](GateOutcome<bool> outcome) { outcomes.push_back(outcome); });
        return shownView();
    }

    static QWidget* shownView() {
        for (auto* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible()) continue;
            if (auto* view = window->findChild<QWidget*>("approvalView")) return view;
        }
        return nullptr;
    }

    static ApprovalQuestion question() {
        return {"Claude asks for your company stamp", "Lease for the flat", std::nullopt, std::nullopt,
                std::nullopt, std::nullopt, "Stamp"};
    }
};

using ApprovalRequestTest = ApprovalFixture;

TEST_F(ApprovalRequestTest, KeysAndCloseButtonAnswer) {
    struct Case {
        const char* name;
        std::function<void(QWidget* window)> act;
        bool expected;
    };
    const Case cases[] = {
        {"ReturnConfirms", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }, true},
        {"EnterConfirms", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Enter); }, true},
        {"EscapeDeclines", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, false},
        {"CloseButtonDeclines", [](QWidget* w) { w->close(); }, false},
        {"CancelDeclines",
         [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("cancelButton"), Qt::LeftButton); }, false},
        {"ConfirmClickConfirms",
         [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("confirmButton"), Qt::LeftButton); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        outcomes.clear();
        auto* view = ask(question());
        ASSERT_NE(view, nullptr);
        auto* window = view->window();
        EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
        c.act(window);
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].result, c.expected);
        EXPECT_FALSE(outcomes[0].timedOut);
        EXPECT_FALSE(gate.isOpen());
        EXPECT_EQ(shownView(), nullptr) << "the dialog stayed on screen";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(ApprovalRequestTest, DeadlineClosesTheDialogAndThrowsTheTimeOut) {
    ask(question());
    scheduler.advance(299s);
    EXPECT_NE(shownView(), nullptr);
    scheduler.advance(1s);
    EXPECT_EQ(shownView(), nullptr);
    ASSERT_EQ(outcomes.size(), 1u);
    try {
        approvalAnswer(outcomes[0]);
        ADD_FAILURE() << "a timed-out dialog read as a refusal";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.message(), RequestGate::timeOutText);
    }
}

TEST_F(ApprovalRequestTest, SecondQuestionIsBusyAndShowsNothing) {
    auto* first = ask(question());
    EXPECT_THROW(ask(question()), ToolError);
    EXPECT_EQ(shownView(), first);
    QTest::keyClick(first->window(), Qt::Key_Escape);
}

TEST_F(ApprovalRequestTest, ShowsOnlyTheBoxesTheQuestionHas) {
    struct Case {
        const char* name;
        std::optional<QString> text, previousText, document;
        bool previousBox, textBox, newLabel, documentLine;
    };
    const Case cases[] = {
        {"NewTextOverEmpty", "Jane Doe", "", std::nullopt, false, true, false, false},
        {"NewTextOverOld", "Jane Doe\nCEO", "John Doe", std::nullopt, true, true, true, false},
        {"EmptyTextStillShown", "", std::nullopt, std::nullopt, false, true, false, false},
        {"NoTexts", std::nullopt, std::nullopt, "", false, false, false, false},
        {"Document", std::nullopt, std::nullopt, "lease.pdf", false, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto q = question();
        q.text = c.text;
        q.previousText = c.previousText;
        q.document = c.document;
        auto* view = ask(q);
        ASSERT_NE(view, nullptr);
        auto* previous = view->findChild<QWidget*>("previousTextBox");
        auto* text = view->findChild<QWidget*>("textBox");
        EXPECT_EQ(previous != nullptr, c.previousBox);
        EXPECT_EQ(text != nullptr, c.textBox);
        EXPECT_EQ(view->findChild<QWidget*>("documentLine") != nullptr, c.documentLine);
        if (text) {
            EXPECT_EQ(text->findChild<QLabel*>("boxLabel") != nullptr, c.newLabel);
        }
        if (previous && text) {
            EXPECT_LT(previous->y(), text->y());
        }
        QTest::keyClick(view->window(), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(ApprovalRequestTest, ButtonsShareTheRowEquallyAndTheWindowFitsItsContent) {
    auto q = question();
    q.confirm = "Remove";
    q.document = QString(2000, QChar('x')) + ".pdf";
    q.image = QImage(40, 20, QImage::Format_ARGB32);
    auto* view = ask(q);
    ASSERT_NE(view, nullptr);
    auto* cancel = view->findChild<QPushButton*>("cancelButton");
    auto* confirm = view->findChild<QPushButton*>("confirmButton");
    EXPECT_EQ(cancel->width(), confirm->width());
    EXPECT_LT(cancel->x(), confirm->x());
    EXPECT_EQ(view->width(), 380);
    EXPECT_EQ(view->findChild<QWidget*>("stampPreview")->size(), QSize(300, 170));
    // A 2000-character name is cut in the middle to the column, not widening the window.
    EXPECT_EQ(view->window()->width(), 380);
    auto* name = view->findChild<QLabel*>("documentName");
    EXPECT_TRUE(name->text().startsWith("xxx"));
    EXPECT_TRUE(name->text().endsWith("x.pdf"));
    EXPECT_TRUE(name->text().contains(QChar(0x2026)));
    EXPECT_LE(name->mapTo(view, QPoint(name->width(), 0)).x(), 380 - 22);
    EXPECT_EQ(view->window()->height(), view->sizeHint().height());
    QTest::keyClick(view->window(), Qt::Key_Return);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].result);
}

}  // namespace
}  // namespace inkwarden
