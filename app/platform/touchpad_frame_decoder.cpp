#include "platform/touchpad_frame_decoder.hpp"

#include <linux/input.h>

#include <algorithm>

namespace inkwarden {

namespace {

double normalised(int value, const TouchpadFrameDecoder::Axis& axis) {
    if (axis.maximum <= axis.minimum) return 0;
    const double at = (static_cast<double>(value) - axis.minimum) / (static_cast<double>(axis.maximum) - axis.minimum);
    return std::clamp(at, 0.0, 1.0);
}

}  // namespace

TouchpadFrameDecoder::TouchpadFrameDecoder(Axis x, Axis y, std::vector<Slot> slots, int currentSlot)
    : x_(x), y_(y), current_(currentSlot) {
    slots_.reserve(slots.size());
    for (const auto& slot : slots) slots_.push_back({slot, slot});
}

QSizeF TouchpadFrameDecoder::deviceSize() const {
    if (x_.resolution <= 0 || y_.resolution <= 0) return {};
    return {(static_cast<double>(x_.maximum) - x_.minimum) / x_.resolution,
            (static_cast<double>(y_.maximum) - y_.minimum) / y_.resolution};
}

TouchpadTouch TouchpadFrameDecoder::touch(TouchpadTouch::Phase phase, const Slot& slot) const {
    // The device's y grows toward the user; a touchpad's position grows away from them.
    return {phase, slot.trackingId, {normalised(slot.x, x_), 1 - normalised(slot.y, y_)}, deviceSize()};
}

std::vector<TouchpadTouch> TouchpadFrameDecoder::feed(unsigned type, unsigned code, int value) {
    if (type == EV_ABS) {
        if (code == ABS_MT_SLOT) {
            current_ = value;
            return {};
        }
        // Events for a slot beyond those the device declared are dropped, not guessed at.
        if (current_ < 0 || current_ >= static_cast<int>(slots_.size())) return {};
        auto& pending = slots_[static_cast<std::size_t>(current_)].pending;
        if (code == ABS_MT_TRACKING_ID) pending.trackingId = value < 0 ? -1 : value;
        if (code == ABS_MT_POSITION_X) pending.x = value;
        if (code == ABS_MT_POSITION_Y) pending.y = value;
        return {};
    }
    if (type != EV_SYN || code != SYN_REPORT) return {};

    std::vector<TouchpadTouch> lifts;
    std::vector<TouchpadTouch> landings;
    std::vector<TouchpadTouch> moves;
    for (auto& [reported, pending] : slots_) {
        const bool sameFinger = reported.trackingId == pending.trackingId;
        if (reported.trackingId >= 0 && !sameFinger) lifts.push_back(touch(TouchpadTouch::Phase::ended, reported));
        if (pending.trackingId >= 0 && !sameFinger) {
            landings.push_back(touch(TouchpadTouch::Phase::began, pending));
        } else if (pending.trackingId >= 0 && (pending.x != reported.x || pending.y != reported.y)) {
            moves.push_back(touch(TouchpadTouch::Phase::moved, pending));
        }
        reported = pending;
    }
    lifts.insert(lifts.end(), landings.begin(), landings.end());
    lifts.insert(lifts.end(), moves.begin(), moves.end());
    return lifts;
}

std::vector<TouchpadTouch> TouchpadFrameDecoder::cancelAll() {
    std::vector<TouchpadTouch> cancelled;
    for (auto& [reported, pending] : slots_) {
        if (reported.trackingId >= 0) cancelled.push_back(touch(TouchpadTouch::Phase::cancelled, reported));
        reported.trackingId = -1;
        pending.trackingId = -1;
    }
    return cancelled;
}

}  // namespace inkwarden
