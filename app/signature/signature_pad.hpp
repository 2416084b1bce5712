#pragma once

#include "signature/signature_ink.hpp"
#include "signature/trackpad_capture.hpp"

#include <QWidget>

#include <memory>

namespace inkwarden {

/// The white card the user signs on. Dragging with the mouse draws; a click on an empty card
/// switches to trackpad mode, in which a capture layer over the card feeds the strokes. Ink
/// outside the card is dropped, so what is handed out is what the user saw. The embedding window
/// gives it 460 x 260. Main thread only.
class SignaturePad : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 260;
    /// A press and release closer than this on an empty pad is a click, not a stroke.
    static constexpr double kClickSlop = 3;

    /// Captures from the system's touchpad.
    explicit SignaturePad(QWidget* parent = nullptr);
    /// Captures from the touchpad and with the timers `environment` names.
    explicit SignaturePad(TrackpadCapture::Environment environment, QWidget* parent = nullptr);
    ~SignaturePad() override;

    const Strokes& strokes() const noexcept { return strokes_; }
    void setStrokes(Strokes strokes);

    bool trackpad() const noexcept { return trackpad_; }
    void setTrackpad(bool on);

    /// Starts a stroke at `point` (pad coordinates), as the trackpad capture does for a touch.
    void startStroke(QPointF point);
    /// Extends the last stroke, or starts one when there is none.
    void extendStroke(QPointF point);

    /// The hint on the card at the moment, empty when none is shown.
    QString hint() const;

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    /// The layer that turns touchpad fingers into strokes while trackpad mode is on.
    TrackpadCapture& capture() const noexcept { return *capture_; }

Q_SIGNALS:
    void strokesChanged();
    void trackpadChanged(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF area() const;

    Strokes strokes_;
    bool trackpad_ = false;
    bool drawing_ = false;
    bool startedEmpty_ = false;
    QPointF pressedAt_;
    std::unique_ptr<TrackpadCapture> capture_;
};

}  // namespace inkwarden
