#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/scheduler.hpp"
#include "platform/touchpad_source.hpp"

namespace inkwarden {

/// Where a finger at `position` (0...1, origin at the touchpad's bottom-left) lands in `bounds`
/// (y growing downward): the touchpad's shape is fitted into the bounds, centred, so strokes keep
/// their proportions. A device size without both sides reads as a 3:2 touchpad.
QPointF trackpadPoint(const QRectF& bounds, const QSizeF& deviceSize, const QPointF& position);

/// Signing with one finger on the touchpad. Lays a capture view over the pad and keeps it in step
/// with the pad's trackpad flag: the flag on starts a capture, the capture's end turns it off.
/// Main thread only. Destroying it (or the pad) ends a running capture without turning the flag off.
///
///     TrackpadCapture capture(pad, {.active = ..., .setActive = ..., .editStrokes = ...});
///     capture.update();  // after every change of the pad's state
class TrackpadCapture : public QObject {
public:
    using Strokes = std::vector<std::vector<QPointF>>;

    /// The pad's state as the capture reads and writes it.
    struct Bindings {
        std::function<bool()> active;           ///< the pad's trackpad flag
        std::function<void(bool)> setActive;
        /// Applies an edit to the pad's strokes; the pad redraws after it.
        std::function<void(const std::function<void(Strokes&)>&)> editStrokes;
    };

    /// What a capture works with. Left empty, the system's touchpad and Qt timers.
    struct Environment {
        std::unique_ptr<TouchpadSource> source;
        Scheduler* scheduler = nullptr;  ///< must outlive the capture
    };

    class CaptureView;

    TrackpadCapture(QWidget* pad, Bindings bindings);
    TrackpadCapture(QWidget* pad, Bindings bindings, Environment environment);
    ~TrackpadCapture() override;

    TrackpadCapture(const TrackpadCapture&) = delete;
    TrackpadCapture& operator=(const TrackpadCapture&) = delete;

    /// Brings the view in line with the pad: installs its callbacks, and then, on the next turn
    /// of the event loop, begins a capture when the flag is on or stops one when it is off.
    /// The pad calls it after every change; showing the pad calls it too.
    void update();

    /// The view over the pad; gone with the pad.
    CaptureView* view() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<const Bindings> bindings_;
    std::unique_ptr<TouchpadSource> source_;
    std::unique_ptr<Scheduler> ownScheduler_;
    QPointer<QWidget> pad_;
    QPointer<CaptureView> view_;
};

/// Covers the pad and, while a capture runs, turns touchpad fingers into strokes with the
/// pointer parked in its middle and hidden. Between captures it lets every click through.
///
/// A capture ends with `onFinish` on any key, when its window stops being the active one, or
/// when `idleStop` passes without a finger; it ends without `onFinish` when the view is hidden,
/// taken out of its window, or destroyed.
class TrackpadCapture::CaptureView final : public QWidget {
public:
    /// `source` may be null (no touchpad): a capture then runs until a key or the idle stop.
    /// Both must outlive the view.
    CaptureView(TouchpadSource* source, Scheduler& scheduler, QWidget* parent = nullptr);
    ~CaptureView() override;

    std::function<void(QPointF)> onStrokeStart = [](QPointF) {};
    std::function<void(QPointF)> onStrokePoint = [](QPointF) {};
    std::function<void()> onFinish = [] {};

    /// How long a capture waits for its first finger before ending by itself.
    std::chrono::milliseconds idleStop{8000};

    /// Starts a capture; nothing when one runs or the view is not shown.
    void begin();
    /// Ends the running capture and gives the pointer back; nothing when none runs.
    void stop();

    bool capturing() const noexcept { return capturing_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void touch(const TouchpadTouch& touch);
    QPointF point(const TouchpadTouch& touch) const;
    void parkPointer();
    void finish();

    TouchpadSource* source_;
    Scheduler& scheduler_;
    bool capturing_ = false;
    std::optional<int> finger_;           // the finger drawing the current stroke
    QPointer<QWidget> observedWindow_;    // watched for deactivation during a capture
    long long session_ = 0;               // lets a late idle stop recognise an older capture
    bool touched_ = false;                // a finger has landed since the capture began
};

}  // namespace inkwarden
