#pragma once

#include <QPointF>
#include <QSizeF>

#include <functional>
#include <memory>

namespace inkwarden {

/// One finger's change on the touchpad.
struct TouchpadTouch {
    enum class Phase { began, moved, ended, cancelled };

    Phase phase = Phase::began;
    int finger = 0;          ///< the same number from the finger's landing to its lift
    QPointF position;        ///< 0...1 on each axis, origin at the touchpad's bottom-left corner
    QSizeF deviceSize;       ///< the surface in millimetres; empty when the device does not say

    bool operator==(const TouchpadTouch&) const = default;
};

/// Absolute finger positions from the touchpad, for as long as a capture holds it.
///
/// While started, the touchpad is this program's alone: its fingers no longer move the pointer.
/// Main thread only: `start`, `stop` and every report happen there. Within one report of
/// several fingers, lifts come before landings, so a finger put down as another lifts is seen.
class TouchpadSource {
public:
    using Handler = std::function<void(const TouchpadTouch&)>;

    virtual ~TouchpadSource() = default;

    /// Takes the touchpad and reports to `handler` until `stop`. False, with nothing taken and
    /// nothing ever reported, when no touchpad can be read (none there, or no permission).
    virtual bool start(Handler handler) = 0;

    /// Gives the touchpad back. Nothing is reported after it returns; harmless when not started.
    virtual void stop() = 0;
};

/// The touchpad of this computer through the input devices, or null when this build has no way
/// to read them.
std::unique_ptr<TouchpadSource> makeSystemTouchpadSource();

}  // namespace inkwarden
