#include "platform/touchpad_frame_decoder.hpp"

#include <gtest/gtest.h>
#include <linux/input.h>

#include <ostream>
#include <vector>

namespace inkwarden {

void PrintTo(const TouchpadTouch& touch, std::ostream* out) {
    *out << "{phase " << static_cast<int>(touch.phase) << ", finger " << touch.finger << ", at (" << touch.position.x()
         << ", " << touch.position.y() << "), " << touch.deviceSize.width() << " x " << touch.deviceSize.height() << "}";
}

}  // namespace inkwarden

namespace {

using inkwarden::TouchpadFrameDecoder;
using inkwarden::TouchpadTouch;
using Phase = TouchpadTouch::Phase;

struct Event {
    unsigned type;
    unsigned code;
    int value;
};

constexpr Event report{EV_SYN, SYN_REPORT, 0};
constexpr Event slot(int n) { return {EV_ABS, ABS_MT_SLOT, n}; }
constexpr Event id(int n) { return {EV_ABS, ABS_MT_TRACKING_ID, n}; }
constexpr Event x(int v) { return {EV_ABS, ABS_MT_POSITION_X, v}; }
constexpr Event y(int v) { return {EV_ABS, ABS_MT_POSITION_Y, v}; }

// 100 x 60 mm at 10 units per millimetre, x from 0 and y from 100.
const TouchpadFrameDecoder::Axis kX{0, 1000, 10};
const TouchpadFrameDecoder::Axis kY{100, 700, 10};
const QSizeF kSize(100, 60);

std::vector<TouchpadTouch> feedAll(TouchpadFrameDecoder& decoder, const std::vector<Event>& events) {
    std::vector<TouchpadTouch> touches;
    for (const auto& e : events) {
        auto frame = decoder.feed(e.type, e.code, e.value);
        touches.insert(touches.end(), frame.begin(), frame.end());
    }
    return touches;
}

TEST(TouchpadFrameDecoderTest, ReportsWhatEachFrameChanged) {
    using Slots = std::vector<TouchpadFrameDecoder::Slot>;
    struct Case {
        const char* name;
        Slots start;
        std::vector<Event> events;
        std::vector<TouchpadTouch> expected;
    };
    const Slots empty(3);
    const Case cases[] = {
        {"LandMoveLift",
         empty,
         {id(7), x(250), y(250), report, x(500), report, y(700), report, id(-1), report},
         {{Phase::began, 7, {0.25, 0.75}, kSize},
          {Phase::moved, 7, {0.5, 0.75}, kSize},
          {Phase::moved, 7, {0.5, 0}, kSize},
          {Phase::ended, 7, {0.5, 0}, kSize}}},
        {"NothingBeforeTheFrameEnds", empty, {id(7), x(250), y(250)}, {}},
        {"AFrameWithoutChangeSaysNothing", empty, {id(7), x(1), y(100), report, x(1), report, report},
         {{Phase::began, 7, {0.001, 1}, kSize}}},
        {"PositionsOutsideTheRangeAreClamped", empty, {id(1), x(-50), y(900), report},
         {{Phase::began, 1, {0, 0}, kSize}}},
        {"ALiftComesBeforeALandingInTheSameFrame",
         {{}, {4, 100, 100}, {}},
         {slot(0), id(5), x(900), y(700), slot(1), id(-1), report},
         {{Phase::ended, 4, {0.1, 1}, kSize}, {Phase::began, 5, {0.9, 0}, kSize}}},
        {"ASlotTakenByANewFingerEndsTheOldOne",
         {{4, 100, 100}, {}, {}},
         {id(9), x(200), report},
         {{Phase::ended, 4, {0.1, 1}, kSize}, {Phase::began, 9, {0.2, 1}, kSize}}},
        {"AFingerDownBeforeTheStartOnlyMovesAndLifts",
         {{}, {3, 500, 400}, {}},
         {slot(1), x(600), report, id(-1), report},
         {{Phase::moved, 3, {0.6, 0.5}, kSize}, {Phase::ended, 3, {0.6, 0.5}, kSize}}},
        {"TwoFingersMoveInSlotOrder",
         {{1, 0, 100}, {2, 0, 100}, {}},
         {slot(1), x(100), slot(0), x(200), report},
         {{Phase::moved, 1, {0.2, 1}, kSize}, {Phase::moved, 2, {0.1, 1}, kSize}}},
        {"ASlotBeyondTheDevicesIsIgnored", empty, {slot(3), id(8), x(10), report, slot(-1), id(9), report}, {}},
        {"OtherEventsAreIgnored",
         empty,
         {{EV_ABS, ABS_X, 10}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_DROPPED, 0}, {EV_MSC, MSC_TIMESTAMP, 5}, report},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TouchpadFrameDecoder decoder(kX, kY, c.start, 0);
        EXPECT_EQ(feedAll(decoder, c.events), c.expected);
    }
}

TEST(TouchpadFrameDecoderTest, CancellingEndsEveryFingerDownOnce) {
    TouchpadFrameDecoder decoder(kX, kY, {{}, {3, 500, 400}, {}}, 0);
    feedAll(decoder, {id(8), x(0), y(100), report});
    const std::vector<TouchpadTouch> expected = {{Phase::cancelled, 8, {0, 1}, kSize},
                                                 {Phase::cancelled, 3, {0.5, 0.5}, kSize}};
    EXPECT_EQ(decoder.cancelAll(), expected);
    EXPECT_TRUE(decoder.cancelAll().empty());
    EXPECT_TRUE(feedAll(decoder, {x(20), report}).empty()) << "a cancelled finger has no more moves";
}

TEST(TouchpadFrameDecoderTest, DeviceSizeNeedsBothResolutions) {
    EXPECT_EQ(TouchpadFrameDecoder(kX, kY, {}, 0).deviceSize(), kSize);
    EXPECT_TRUE(TouchpadFrameDecoder(kX, {100, 700, 0}, {}, 0).deviceSize().isEmpty());
    EXPECT_TRUE(TouchpadFrameDecoder({0, 1000, 0}, kY, {}, 0).deviceSize().isEmpty());
}

}  // namespace
