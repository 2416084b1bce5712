#include "signature/signature_pad.hpp"

#include "support/fake_touchpad_source.hpp"
#include "support/qt_application.hpp"
#include "support/signing_fixtures.hpp"
#include "support/test_main_thread.hpp"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace inkwarden {
namespace {

class SignaturePadTest : public testing::Test {
protected:
    SignaturePadTest() { pad.show(); }

    void drag(QPoint from, std::vector<QPoint> path) { testing_support::dragMouse(&pad, from, path); }

    QApplication& app = testing_support::qtApplication();  // before the first widget
    SignaturePad pad;
};

TEST_F(SignaturePadTest, ClickOnEmptyPadStartsTrackpadMode) {
    struct Case {
        const char* name;
        Strokes before;
        std::vector<QPoint> path;  // after pressing at (100, 100)
        bool trackpad;
        std::size_t strokes;
    };
    const Strokes ink = {{{10, 10}, {50, 50}}};
    const std::vector<Case> cases = {
        {"press and release", {}, {}, true, 0},
        {"under three points both ways", {}, {{102, 102}}, true, 0},
        {"wanders off and comes back", {}, {{160, 100}, {160, 160}, {101, 102}}, true, 0},
        {"three points right is a stroke", {}, {{103, 100}}, false, 1},
        {"three points down is a stroke", {}, {{100, 103}}, false, 1},
        {"click on a pad with ink is a dot", ink, {}, false, 2},
    };
    for (const auto& test : cases) {
        pad.setTrackpad(false);
        pad.setStrokes(test.before);
        drag({100, 100}, test.path);
        EXPECT_EQ(pad.trackpad(), test.trackpad) << test.name;
        EXPECT_EQ(pad.strokes().size(), test.strokes) << test.name;
    }
}

TEST_F(SignaturePadTest, DragDrawsInPadCoordinates) {
    drag({20, 30}, {{40, 50}, {60, 55}});
    ASSERT_EQ(pad.strokes().size(), 1u);
    EXPECT_EQ(pad.strokes()[0], (Stroke{{20, 30}, {40, 50}, {60, 55}}));
    drag({200, 100}, {{220, 100}});
    EXPECT_EQ(pad.strokes().size(), 2u);
    EXPECT_FALSE(pad.trackpad());
}

TEST_F(SignaturePadTest, InkLeavingThePadIsDroppedAndSplitsTheStroke) {
    drag({20, 30}, {{40, 30}, {40, -20}, {700, 30}, {80, 30}, {90, 40}, {90, 400}});
    EXPECT_EQ(pad.strokes(), (Strokes{{{20, 30}, {40, 30}}, {{80, 30}, {90, 40}}}));
}

TEST_F(SignaturePadTest, HintFollowsModeAndInk) {
    const QString clickHint = "Click here to sign on your trackpad, or draw with the mouse";
    const QString trackpadHint = "Sign on the trackpad with one finger. Press any key when you're done.";
    EXPECT_EQ(pad.hint(), clickHint);
    drag({20, 30}, {{60, 60}});
    EXPECT_EQ(pad.hint(), QString());
    pad.setStrokes({});
    EXPECT_EQ(pad.hint(), clickHint);
    pad.setTrackpad(true);
    EXPECT_EQ(pad.hint(), trackpadHint);
}

TEST_F(SignaturePadTest, TrackpadModeTakesNoMouseInk) {
    pad.setTrackpad(true);
    drag({20, 30}, {{60, 60}});
    EXPECT_TRUE(pad.strokes().empty());
    // The capture layer feeds the ink instead.
    pad.startStroke({10, 10});
    pad.extendStroke({20, 20});
    pad.extendStroke({30, 25});
    EXPECT_EQ(pad.strokes(), (Strokes{{{10, 10}, {20, 20}, {30, 25}}}));
}

TEST_F(SignaturePadTest, SignalsChanges) {
    QSignalSpy strokes(&pad, &SignaturePad::strokesChanged);
    QSignalSpy trackpad(&pad, &SignaturePad::trackpadChanged);
    QTest::mouseClick(&pad, Qt::LeftButton, {}, {50, 50});
    EXPECT_GE(strokes.count(), 2);  // the dot, then its removal
    ASSERT_EQ(trackpad.count(), 1);
    EXPECT_TRUE(trackpad.at(0).at(0).toBool());
    pad.setTrackpad(true);
    EXPECT_EQ(trackpad.count(), 1);
}

TEST_F(SignaturePadTest, BorderShowsTrackpadMode) {
    // The border's colour at the left edge's middle: faint grey in mouse mode, the accent in
    // trackpad mode.
    auto edge = [this] { return pad.grab().toImage().pixelColor(0, SignaturePad::kHeight / 2); };
    const QColor mouse = edge();
    pad.setTrackpad(true);
    const QColor trackpad = edge();
    EXPECT_NE(mouse, trackpad);
    EXPECT_GT(mouse.lightness(), 200);
    EXPECT_LT(trackpad.lightness(), 230);
    EXPECT_NE(trackpad.red(), trackpad.blue());  // a colour, not grey
}

TEST(SignaturePadTrackpadTest, ClickOnEmptyPadWritesWithTheFingerUntilAKey) {
    testing_support::qtApplication();
    testing_support::ManualScheduler scheduler;
    auto source = std::make_unique<testing_support::FakeTouchpadSource>();
    auto* touchpad = source.get();
    SignaturePad pad(TrackpadCapture::Environment{std::move(source), &scheduler});
    pad.show();

    QTest::mouseClick(&pad, Qt::LeftButton, {}, {200, 100});
    ASSERT_TRUE(pad.trackpad());
    ASSERT_TRUE(QTest::qWaitFor([&] { return touchpad->taken(); }, 5000));

    // A 100 x 60 touchpad fills the pad's height: 260 * 100 / 60 wide, centred.
    touchpad->land(1, {0, 1});
    touchpad->move(1, {0.5, 0.5});
    touchpad->lift(1);
    const double width = 260.0 * 100 / 60;
    const double left = (460 - width) / 2;
    ASSERT_EQ(pad.strokes().size(), 1u);
    ASSERT_EQ(pad.strokes()[0].size(), 2u);
    EXPECT_NEAR(pad.strokes()[0][0].x(), left, 1e-9);
    EXPECT_NEAR(pad.strokes()[0][0].y(), 0, 1e-9);
    EXPECT_NEAR(pad.strokes()[0][1].x(), 230, 1e-9);
    EXPECT_NEAR(pad.strokes()[0][1].y(), 130, 1e-9);

    // Clicks meanwhile draw nothing; a key ends the mode.
    QTest::mouseClick(&pad, Qt::LeftButton, {}, {50, 50});
    EXPECT_EQ(pad.strokes().size(), 1u);
    QTest::keyClick(pad.capture().view(), Qt::Key_A);
    EXPECT_FALSE(pad.trackpad());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !touchpad->taken(); }, 5000));
    EXPECT_EQ(pad.hint(), QString());
}

TEST(SignaturePadTrackpadTest, WithoutATouchpadTheIdleStopEndsTheMode) {
    testing_support::qtApplication();
    testing_support::ManualScheduler scheduler;
    auto source = std::make_unique<testing_support::FakeTouchpadSource>();
    source->available = false;
    SignaturePad pad(TrackpadCapture::Environment{std::move(source), &scheduler});
    pad.show();
    pad.setTrackpad(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pad.capture().view()->capturing(); }, 5000));
    scheduler.advance(std::chrono::seconds(8));
    EXPECT_FALSE(pad.trackpad());
    EXPECT_TRUE(pad.strokes().empty());
}

}  // namespace
}  // namespace inkwarden
