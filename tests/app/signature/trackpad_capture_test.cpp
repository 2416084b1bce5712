#include "signature/trackpad_capture.hpp"

#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "support/fake_touchpad_source.hpp"
#include "support/qt_application.hpp"
#include "support/test_main_thread.hpp"

namespace {

using namespace std::chrono_literals;
using inkwarden::TrackpadCapture;
using inkwarden::trackpadPoint;
using testing_support::FakeTouchpadSource;
using testing_support::ManualScheduler;

constexpr QSizeF kPadSize(460, 260);

/// Counts the presses that reach it, as the pad's own drawing would see them.
class Pad final : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

/// A window with a pad under a capture, the pad's state held here as the pad would hold it.
class TrackpadCaptureTest : public testing::Test {
public:
    TrackpadCaptureTest() {
        window.resize(520, 340);
        pad = new Pad(&window);
        pad->setGeometry(30, 40, int(kPadSize.width()), int(kPadSize.height()));
        auto fake = std::make_unique<FakeTouchpadSource>();
        source = fake.get();
        capture = std::make_unique<TrackpadCapture>(pad, bindings(), TrackpadCapture::Environment{std::move(fake), &scheduler});
    }

    ~TrackpadCaptureTest() override {
        capture.reset();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the cursor stays hidden";
    }

    TrackpadCapture::Bindings bindings() {
        return {
            [this] { return active; },
            [this](bool on) {
                ++finishes;
                active = on;
                capture->update();
            },
            [this](const std::function<void(TrackpadCapture::Strokes&)>& edit) { edit(strokes); },
        };
    }

    void show() {
        window.show();
        QCoreApplication::sendPostedEvents();
    }

    /// The pad's own change of its flag (its click, or the window's button), then the update.
    void setActive(bool on) {
        active = on;
        capture->update();
        QCoreApplication::sendPostedEvents();
    }

    void press(int key) { QTest::keyClick(view(), Qt::Key(key)); }

    TrackpadCapture::CaptureView* view() const { return capture->view(); }
    bool capturing() const { return view()->capturing(); }
    bool cursorHidden() const {
        return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::BlankCursor;
    }

    QApplication& application = testing_support::qtApplication();  // before any widget
    QWidget window;
    Pad* pad = nullptr;
    ManualScheduler scheduler;
    FakeTouchpadSource* source = nullptr;
    std::unique_ptr<TrackpadCapture> capture;
    bool active = false;
    int finishes = 0;  // the capture turning the flag off
    TrackpadCapture::Strokes strokes;
};

TEST(TrackpadPointTest, FitsTheTouchpadsShapeIntoTheBounds) {
    const QRectF pad(0, 0, 460, 260);
    struct Case {
        const char* name;
        QRectF bounds;
        QSizeF device;
        QPointF position;
        QPointF expected;
    };
    const Case cases[] = {
        // 100 x 60 is narrower than the pad: full height, centred across.
        {"NarrowerBottomLeft", pad, {100, 60}, {0, 0}, {230 - 130 * 5.0 / 3, 260}},
        {"NarrowerTopRight", pad, {100, 60}, {1, 1}, {230 + 130 * 5.0 / 3, 0}},
        {"NarrowerMiddle", pad, {100, 60}, {0.5, 0.5}, {230, 130}},
        // 160 x 60 is wider: full width, centred up and down.
        {"WiderBottomLeft", pad, {160, 60}, {0, 0}, {0, 130 + 86.25}},
        {"WiderTopRight", pad, {160, 60}, {1, 1}, {460, 130 - 86.25}},
        // The same shape as the pad fills it.
        {"SameShape", pad, {46, 26}, {0.25, 0.75}, {115, 65}},
        // No size: a 3:2 touchpad, 390 wide.
        {"NoHeight", pad, {100, 0}, {0, 0}, {35, 260}},
        {"NoWidth", pad, {0, 60}, {1, 1}, {425, 0}},
        {"NoSize", pad, {}, {0.5, 0.5}, {230, 130}},
        // Bounds away from the origin keep their offset.
        {"OffsetSquareBounds", {10, 20, 200, 200}, {2, 1}, {0, 1}, {10, 70}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto point = trackpadPoint(c.bounds, c.device, c.position);
        EXPECT_NEAR(point.x(), c.expected.x(), 1e-9);
        EXPECT_NEAR(point.y(), c.expected.y(), 1e-9);
    }
}

TEST_F(TrackpadCaptureTest, CaptureEndsAsItsEventsSay) {
    struct Case {
        const char* name;
        std::function<void(TrackpadCaptureTest&)> events;
        bool capturing;
        int finishes;  // times the capture turned the flag off
        bool active;   // the pad's flag afterwards
    };
    const Case cases[] = {
        {"NobodyTouchesForEightSeconds", [](auto& t) { t.scheduler.advance(8s); }, false, 1, false},
        {"EightSecondsNotYetOver", [](auto& t) { t.scheduler.advance(8s - 1ms); }, true, 0, true},
        {"ATouchCancelsTheIdleStop",
         [](auto& t) {
             t.scheduler.advance(7s);
             t.source->land(1, {0.5, 0.5});
             t.source->lift(1);
             t.scheduler.advance(60s);
         },
         true, 0, true},
        {"AnyKey", [](auto& t) { t.press(Qt::Key_A); }, false, 1, false},
        {"Return", [](auto& t) { t.press(Qt::Key_Return); }, false, 1, false},
        {"AModifierAloneIsNoKey", [](auto& t) { t.press(Qt::Key_Shift); }, true, 0, true},
        {"WindowDeactivated",
         [](auto& t) {
             QEvent deactivate(QEvent::WindowDeactivate);
             QCoreApplication::sendEvent(&t.window, &deactivate);
         },
         false, 1, false},
        {"FlagTurnedOffByThePad", [](auto& t) { t.setActive(false); }, false, 0, false},
        {"PadHidden", [](auto& t) { t.pad->hide(); }, false, 0, true},
        {"TakenOutOfTheWindow", [](auto& t) { t.view()->setParent(nullptr); }, false, 0, true},
        {"IdleStopOfAnEarlierCaptureIsIgnored",
         [](auto& t) {
             t.scheduler.advance(5s);
             t.press(Qt::Key_A);    // ends the first capture
             t.setActive(true);     // the second begins at 5 s
             t.scheduler.advance(3s + 1ms);  // the first one's stop falls due
         },
         true, 1, true},
        {"IdleStopOfTheLaterCaptureStillHolds",
         [](auto& t) {
             t.scheduler.advance(5s);
             t.press(Qt::Key_A);
             t.setActive(true);
             t.scheduler.advance(8s);
         },
         false, 2, false},
        {"AnEarlierCapturesTouchDoesNotSpareTheNext",
         [](auto& t) {
             t.source->land(1, {0.5, 0.5});
             t.press(Qt::Key_A);
             t.setActive(true);
             t.scheduler.advance(8s);
         },
         false, 2, false},
    };
    show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setActive(true);
        ASSERT_TRUE(capturing());
        finishes = 0;
        c.events(*this);
        EXPECT_EQ(capturing(), c.capturing);
        EXPECT_EQ(finishes, c.finishes);
        EXPECT_EQ(active, c.active);
        EXPECT_EQ(source->taken(), c.capturing) << "the touchpad is held only during a capture";
        EXPECT_EQ(cursorHidden(), c.capturing);

        // Back to a shown pad in its window, with no capture, for the next case.
        setActive(false);
        scheduler.advance(60s);
        if (!view()->parent()) {
            view()->setParent(pad);
            view()->setGeometry(pad->rect());
        }
        view()->show();
        pad->show();
        QCoreApplication::sendPostedEvents();
        strokes.clear();
    }
}

TEST_F(TrackpadCaptureTest, OneFingerAtATimeDrawsStrokes) {
    show();
    setActive(true);
    const QSizeF device(100, 60);
    const auto at = [&](QPointF position) { return trackpadPoint(QRectF(pad->rect()), device, position); };

    source->land(1, {0.1, 0.9});
    source->move(1, {0.2, 0.8});
    source->land(2, {0.9, 0.9});  // a second finger while the first draws
    source->move(2, {0.8, 0.8});
    source->move(1, {0.3, 0.7});
    source->lift(1);
    source->move(1, {0.4, 0.6});  // no longer tracked
    source->move(2, {0.7, 0.7});  // landed while another drew: never tracked
    source->land(3, {0.5, 0.5});
    source->cancel(3);
    source->land(2, {0.6, 0.4});  // lifted and landed again
    source->move(2, {0.7, 0.3});

    const TrackpadCapture::Strokes expected = {
        {at({0.1, 0.9}), at({0.2, 0.8}), at({0.3, 0.7})},
        {at({0.5, 0.5})},
        {at({0.6, 0.4}), at({0.7, 0.3})},
    };
    EXPECT_EQ(strokes, expected);
    EXPECT_TRUE(capturing()) << "lifting a finger is no end of the capture";
}

TEST_F(TrackpadCaptureTest, APointWithNoStrokeToExtendIsDropped) {
    show();
    setActive(true);
    source->land(1, {0.5, 0.5});
    strokes.clear();  // the pad cleared while the finger was down
    source->move(1, {0.6, 0.6});
    EXPECT_TRUE(strokes.empty());
}

TEST_F(TrackpadCaptureTest, PointerIsParkedInThePadsMiddleAndHiddenUntilTheEnd) {
    show();
    QCursor::setPos(window.screen(), QPoint(3, 4));
    setActive(true);
    EXPECT_EQ(QCursor::pos(), pad->mapToGlobal(QPoint(230, 130)));
    EXPECT_TRUE(cursorHidden());
    EXPECT_EQ(window.focusWidget(), view()) << "keys must reach the capture";

    press(Qt::Key_Space);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(source->taken());
}

TEST_F(TrackpadCaptureTest, ClicksPassToThePadExceptDuringACapture) {
    show();
    const auto click = [&] {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, pad->geometry().center());
    };
    click();
    EXPECT_EQ(pad->presses, 1);

    setActive(true);
    click();
    EXPECT_EQ(pad->presses, 1) << "swallowed during the capture";
    EXPECT_TRUE(capturing()) << "a click is no key";

    press(Qt::Key_A);
    click();
    EXPECT_EQ(pad->presses, 2);
}

TEST_F(TrackpadCaptureTest, WithoutATouchpadTheCaptureStillRunsAndEndsByItself) {
    source->available = false;
    show();
    setActive(true);
    EXPECT_TRUE(capturing());
    EXPECT_TRUE(cursorHidden());
    EXPECT_EQ(source->starts(), 1);

    scheduler.advance(8s);
    EXPECT_FALSE(capturing());
    EXPECT_FALSE(active);
    EXPECT_EQ(finishes, 1);
}

TEST_F(TrackpadCaptureTest, BeginsOnceThePadIsShownAndCoversItWhenResized) {
    setActive(true);
    EXPECT_FALSE(capturing()) << "not shown yet";
    show();
    EXPECT_TRUE(capturing());

    pad->resize(300, 200);
    EXPECT_EQ(view()->geometry(), QRect(0, 0, 300, 200));
}

TEST_F(TrackpadCaptureTest, GoingAwayEndsTheCaptureWithoutTurningTheFlagOff) {
    show();
    setActive(true);
    bool held = true;
    source->heldWhenDestroyed = &held;
    capture.reset();
    source = nullptr;
    EXPECT_FALSE(held) << "the touchpad is given back";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(finishes, 0);
    EXPECT_TRUE(active);
    scheduler.advance(8s);  // the idle stop finds no view
    EXPECT_EQ(finishes, 0);
}

TEST_F(TrackpadCaptureTest, AnotherWindowBecomingActiveEndsTheCapture) {
    show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    setActive(true);
    ASSERT_TRUE(capturing());

    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(capturing());
    EXPECT_EQ(finishes, 1);
    EXPECT_FALSE(active);
}

TEST(TrackpadCaptureKeysTest, TheFinishingKeyIsTheCapturesButLaterKeysReachTheWindow) {
    testing_support::qtApplication();
    ManualScheduler scheduler;
    QDialog dialog;
    dialog.resize(500, 300);
    auto* pad = new QWidget(&dialog);
    pad->setGeometry(20, 20, 460, 260);
    bool active = false;
    TrackpadCapture::Strokes strokes;
    std::unique_ptr<TrackpadCapture> capture;
    capture = std::make_unique<TrackpadCapture>(
        pad,
        TrackpadCapture::Bindings{[&] { return active; }, [&](bool on) { active = on; },
                                  [&](const auto& edit) { edit(strokes); }},
        TrackpadCapture::Environment{std::make_unique<FakeTouchpadSource>(), &scheduler});
    dialog.show();
    active = true;
    capture->update();
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(capture->view()->capturing());

    QTest::keyClick(capture->view(), Qt::Key_Escape);
    EXPECT_FALSE(capture->view()->capturing());
    EXPECT_TRUE(dialog.isVisible()) << "the key that ends the capture must not also cancel the window";

    QTest::keyClick(capture->view(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible()) << "after the capture, Escape is the window's again";
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    capture.reset();
}

}  // namespace
