#include "signature/trackpad_capture.hpp"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QScreen>

#include "platform/qt_main_thread.hpp"

namespace inkwarden {

namespace {

constexpr double kUnknownAspect = 1.5;

// Modifiers alone change no text: they do not count as the key that ends a capture.
bool isModifierOnly(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

}  // namespace

QPointF trackpadPoint(const QRectF& bounds, const QSizeF& deviceSize, const QPointF& position) {
    // A side of 0 would squash every stroke onto a line.
    const double aspect = deviceSize.width() > 0 && deviceSize.height() > 0
                              ? deviceSize.width() / deviceSize.height()
                              : kUnknownAspect;
    QRectF area;
    if (bounds.width() / bounds.height() > aspect) {
        const double width = aspect * bounds.height();
        area = QRectF(bounds.center().x() - width / 2, bounds.top(), width, bounds.height());
    } else {
        const double height = bounds.width() / aspect;
        area = QRectF(bounds.left(), bounds.center().y() - height / 2, bounds.width(), height);
    }
    return {area.left() + area.width() * position.x(), area.top() + (1 - position.y()) * area.height()};
}

// --- the view -------------------------------------------------------------------------------

TrackpadCapture::CaptureView::CaptureView(TouchpadSource* source, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent), source_(source), scheduler_(scheduler) {
    setObjectName(QStringLiteral("trackpadCapture"));
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setFocusPolicy(Qt::NoFocus);
}

TrackpadCapture::CaptureView::~CaptureView() {
    stop();
}

void TrackpadCapture::CaptureView::begin() {
    if (capturing_ || !isVisible()) return;
    capturing_ = true;
    touched_ = false;
    const auto session = ++session_;

    // Never cancelled: a capture that ended, or began again since, makes it do nothing.
    scheduler_.after(idleStop, [view = QPointer<CaptureView>(this), session] {
        if (!view || !view->capturing_ || view->session_ != session || view->touched_) return;
        view->stop();
        view->finish();
    });

    if (source_) source_->start([this](const TouchpadTouch& touch) { this->touch(touch); });
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    setFocusPolicy(Qt::StrongFocus);
    setFocus(Qt::OtherFocusReason);
    parkPointer();
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    observedWindow_ = window();
    observedWindow_->installEventFilter(this);
}

void TrackpadCapture::CaptureView::stop() {
    if (!capturing_) return;
    capturing_ = false;
    finger_.reset();
    if (source_) source_->stop();
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    // Focus stays: a key pressed after the capture still reaches the view (and passes on).
    setFocusPolicy(Qt::NoFocus);
    QGuiApplication::restoreOverrideCursor();
    if (observedWindow_) observedWindow_->removeEventFilter(this);
    observedWindow_ = nullptr;
}

void TrackpadCapture::CaptureView::finish() {
    // A copy: the callback may end up destroying this view.
    auto onFinish = this->onFinish;
    onFinish();
}

void TrackpadCapture::CaptureView::parkPointer() {
    if (QGuiApplication::screens().isEmpty()) return;
    const auto centre = mapToGlobal(QRectF(rect()).center()).toPoint();
    QCursor::setPos(screen(), centre);
}

void TrackpadCapture::CaptureView::touch(const TouchpadTouch& touch) {
    switch (touch.phase) {
    case TouchpadTouch::Phase::began:
        if (!capturing_ || finger_) return;
        finger_ = touch.finger;
        touched_ = true;
        onStrokeStart(point(touch));
        return;
    case TouchpadTouch::Phase::moved:
        if (capturing_ && finger_ == touch.finger) onStrokePoint(point(touch));
        return;
    case TouchpadTouch::Phase::ended:
    case TouchpadTouch::Phase::cancelled:
        if (finger_ == touch.finger) finger_.reset();
        return;
    }
}

QPointF TrackpadCapture::CaptureView::point(const TouchpadTouch& touch) const {
    return trackpadPoint(QRectF(rect()), touch.deviceSize, touch.position);
}

bool TrackpadCapture::CaptureView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // During a capture every key ends it; none may run a shortcut of the window instead.
        if (capturing_ && !isModifierOnly(static_cast<QKeyEvent*>(event)->key())) {
            event->accept();
            return true;
        }
        break;
    case QEvent::ParentAboutToChange:
        stop();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool TrackpadCapture::CaptureView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == observedWindow_ && event->type() == QEvent::WindowDeactivate && capturing_) {
        stop();
        finish();
    }
    return false;
}

void TrackpadCapture::CaptureView::keyPressEvent(QKeyEvent* event) {
    if (isModifierOnly(event->key())) {
        event->ignore();
        return;
    }
    if (capturing_) {
        // Taken: "any key" must not also cancel or sign through the window's own keys.
        stop();
        event->accept();
    } else {
        event->ignore();
    }
    finish();
}

void TrackpadCapture::CaptureView::mousePressEvent(QMouseEvent* event) {
    event->setAccepted(capturing_);
}

void TrackpadCapture::CaptureView::mouseMoveEvent(QMouseEvent* event) {
    event->setAccepted(capturing_);
}

void TrackpadCapture::CaptureView::mouseReleaseEvent(QMouseEvent* event) {
    event->setAccepted(capturing_);
}

void TrackpadCapture::CaptureView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->setAccepted(capturing_);
}

void TrackpadCapture::CaptureView::hideEvent(QHideEvent* event) {
    stop();
    QWidget::hideEvent(event);
}

// --- the glue ---------------------------------------------------------------------------------

TrackpadCapture::TrackpadCapture(QWidget* pad, Bindings bindings)
    : TrackpadCapture(pad, std::move(bindings), Environment{}) {}

TrackpadCapture::TrackpadCapture(QWidget* pad, Bindings bindings, Environment environment)
    : bindings_(std::make_shared<const Bindings>(std::move(bindings))),
      source_(environment.source ? std::move(environment.source) : makeSystemTouchpadSource()),
      pad_(pad) {
    Scheduler* scheduler = environment.scheduler;
    if (!scheduler) {
        ownScheduler_ = std::make_unique<QtScheduler>();
        scheduler = ownScheduler_.get();
    }
    view_ = new CaptureView(source_.get(), *scheduler, pad);
    view_->setGeometry(pad->rect());
    view_->raise();
    pad->installEventFilter(this);
}

TrackpadCapture::~TrackpadCapture() {
    if (pad_) pad_->removeEventFilter(this);
    delete view_.data();  // the view's end stops a running capture, before the source goes
}

TrackpadCapture::CaptureView* TrackpadCapture::view() const {
    return view_;
}

void TrackpadCapture::update() {
    CaptureView* view = view_;
    if (!view) return;
    const auto bindings = bindings_;
    view->onStrokeStart = [bindings](QPointF p) {
        bindings->editStrokes([p](Strokes& strokes) { strokes.push_back({p}); });
    };
    view->onStrokePoint = [bindings](QPointF p) {
        bindings->editStrokes([p](Strokes& strokes) {
            if (!strokes.empty()) strokes.back().push_back(p);
        });
    };
    view->onFinish = [bindings] { bindings->setActive(false); };
    QMetaObject::invokeMethod(
        view,
        [view, bindings] {
            if (bindings->active()) {
                view->begin();
            } else {
                view->stop();
            }
        },
        Qt::QueuedConnection);
}

bool TrackpadCapture::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pad_ && view_) {
        if (event->type() == QEvent::Resize) view_->setGeometry(pad_->rect());
        if (event->type() == QEvent::Show) update();
    }
    return false;
}

}  // namespace inkwarden
