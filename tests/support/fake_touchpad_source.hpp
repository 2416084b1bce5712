#pragma once

#include <utility>

#include "platform/touchpad_source.hpp"

namespace testing_support {

/// A touchpad the test moves by hand. `available` false plays a computer whose touchpad cannot
/// be read.
class FakeTouchpadSource final : public inkwarden::TouchpadSource {
public:
    bool available = true;
    /// Where to note, when the source goes, whether a capture still held it.
    bool* heldWhenDestroyed = nullptr;

    ~FakeTouchpadSource() override {
        if (heldWhenDestroyed) *heldWhenDestroyed = taken();
    }

    bool start(Handler handler) override {
        ++starts_;
        if (!available) return false;
        handler_ = std::move(handler);
        return true;
    }

    void stop() override { handler_ = nullptr; }

    /// Reports a touch as the touchpad would: only while started.
    void report(const inkwarden::TouchpadTouch& touch) {
        if (!handler_) return;
        auto handler = handler_;
        handler(touch);
    }

    void land(int finger, QPointF position, QSizeF deviceSize = {100, 60}) {
        report({inkwarden::TouchpadTouch::Phase::began, finger, position, deviceSize});
    }
    void move(int finger, QPointF position, QSizeF deviceSize = {100, 60}) {
        report({inkwarden::TouchpadTouch::Phase::moved, finger, position, deviceSize});
    }
    void lift(int finger) { report({inkwarden::TouchpadTouch::Phase::ended, finger, {}, {}}); }
    void cancel(int finger) { report({inkwarden::TouchpadTouch::Phase::cancelled, finger, {}, {}}); }

    /// True while a capture holds the touchpad.
    bool taken() const { return static_cast<bool>(handler_); }
    int starts() const { return starts_; }

private:
    Handler handler_;
    int starts_ = 0;
};

}  // namespace testing_support
