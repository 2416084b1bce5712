#pragma once

#include <vector>

#include "platform/touchpad_source.hpp"

namespace inkwarden {

/// Turns a multi-touch touchpad's input events (the kernel's slot protocol) into finger changes,
/// reported once per frame. Plain object: events in, touches out, no I/O.
///
/// Fingers already down when the decoder is made are known but were never reported as landing;
/// their moves and lifts are reported like any other finger's.
class TouchpadFrameDecoder {
public:
    /// One axis as the device describes it; `resolution` in units per millimetre, 0 when unknown.
    struct Axis {
        int minimum = 0;
        int maximum = 0;
        int resolution = 0;
    };

    /// A slot's state: `trackingId` -1 for no finger.
    struct Slot {
        int trackingId = -1;
        int x = 0;
        int y = 0;
    };

    TouchpadFrameDecoder(Axis x, Axis y, std::vector<Slot> slots, int currentSlot);

    /// Takes one event (type, code, value); at the end of a frame, gives what the frame changed:
    /// lifts first, then landings, then moves, each in slot order.
    std::vector<TouchpadTouch> feed(unsigned type, unsigned code, int value);

    /// Every finger down, as cancelled, and forgets them (the device went away).
    std::vector<TouchpadTouch> cancelAll();

    /// The touchpad's surface in millimetres; empty when the device does not give both sides.
    QSizeF deviceSize() const;

private:
    struct State {
        Slot reported;  // as of the last frame
        Slot pending;   // as this frame leaves it so far
    };

    TouchpadTouch touch(TouchpadTouch::Phase phase, const Slot& slot) const;

    Axis x_;
    Axis y_;
    std::vector<State> slots_;
    int current_;
};

}  // namespace inkwarden
