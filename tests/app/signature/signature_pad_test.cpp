#include "signature/signature_pad.hpp"

#include "support/qt_application.hpp"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace inkwarden {
namespace {

class SignaturePadTest : public testing::Test {
protected:
    // The pad is made before the fixture's body runs, so the application must exist first.
    static void SetUpTestSuite() { testing_support::qtApplication(); }

    SignaturePadTest() {
        testing_support::qtApplication();
        pad.show();
    }

    /// Presses at `from`, moves through `path`, and releases at the last point.
    void drag(QPoint from, std::vector<QPoint> path) {
        QTest::mousePress(&pad, Qt::LeftButton, {}, from);
        QPoint at = from;
        for (auto point : path) {
            QMouseEvent move(QEvent::MouseMove, point, pad.mapToGlobal(point), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&pad, &move);
            at = point;
        }
        QTest::mouseRelease(&pad, Qt::LeftButton, {}, at);
    }

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

}  // namespace
}  // namespace inkwarden
