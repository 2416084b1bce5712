#include "signature/signature_pad.hpp"

#include "ui/panel_style.hpp"
#include "ui/symbol.hpp"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace inkwarden {
namespace {

constexpr double kCornerRadius = 10;
constexpr int kLineInset = 22;
constexpr int kLineBottom = 36;
constexpr int kMarkSize = 11;
constexpr int kMarkSpacing = 6;
constexpr int kTrackpadHintSize = 11;
constexpr int kTrackpadHintBottom = 12;
constexpr int kEmptyHintSize = 12;

QColor black(double opacity) {
    QColor color(Qt::black);
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

}  // namespace

SignaturePad::SignaturePad(QWidget* parent) : SignaturePad(TrackpadCapture::Environment{}, parent) {}

SignaturePad::SignaturePad(TrackpadCapture::Environment environment, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("signaturePad"));
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::CrossCursor);
    capture_ = std::make_unique<TrackpadCapture>(
        this,
        TrackpadCapture::Bindings{
            .active = [this] { return trackpad_; },
            .setActive = [this](bool on) { setTrackpad(on); },
            .editStrokes =
                [this](const std::function<void(Strokes&)>& edit) {
                    edit(strokes_);
                    update();
                    Q_EMIT strokesChanged();
                },
        },
        std::move(environment));
}

SignaturePad::~SignaturePad() = default;

void SignaturePad::setStrokes(Strokes strokes) {
    if (strokes == strokes_) return;
    strokes_ = std::move(strokes);
    update();
    Q_EMIT strokesChanged();
}

void SignaturePad::setTrackpad(bool on) {
    if (on == trackpad_) return;
    trackpad_ = on;
    // A drag in progress ends here: the capture layer takes the clicks from now on.
    drawing_ = false;
    update();
    capture_->update();
    Q_EMIT trackpadChanged(on);
}

void SignaturePad::startStroke(QPointF point) {
    SignatureInk::addPoint(strokes_, point, false, area());
    update();
    Q_EMIT strokesChanged();
}

void SignaturePad::extendStroke(QPointF point) {
    SignatureInk::addPoint(strokes_, point, true, area());
    update();
    Q_EMIT strokesChanged();
}

QString SignaturePad::hint() const {
    if (trackpad_) return tr("Sign on the trackpad with one finger. Press any key when you're done.");
    if (strokes_.empty()) return tr("Click here to sign on your trackpad, or draw with the mouse");
    return {};
}

QRectF SignaturePad::area() const {
    return QRectF(0, 0, width(), height());
}

void SignaturePad::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || trackpad_) {
        event->accept();
        return;
    }
    drawing_ = true;
    startedEmpty_ = strokes_.empty();
    pressedAt_ = event->position();
    startStroke(event->position());
}

void SignaturePad::mouseMoveEvent(QMouseEvent* event) {
    if (!drawing_) return;
    extendStroke(event->position());
}

void SignaturePad::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !drawing_) return;
    drawing_ = false;
    const QPointF moved = event->position() - pressedAt_;
    if (startedEmpty_ && std::abs(moved.x()) < kClickSlop && std::abs(moved.y()) < kClickSlop) {
        // The click's dot goes; the click meant "sign on the trackpad".
        strokes_.clear();
        update();
        Q_EMIT strokesChanged();
        setTrackpad(true);
        return;
    }
    const auto before = strokes_.size();
    SignatureInk::trimLifted(strokes_);
    if (strokes_.size() != before) Q_EMIT strokesChanged();
}

void SignaturePad::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF card = rect();
    QPainterPath shape;
    shape.addRoundedRect(card, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, Qt::white);
    painter.setClipPath(shape);

    // The signing line: a cross, then a hairline to the right inset, standing on its baseline.
    const QColor lineColor = black(0.25);
    const double baseline = height() - kLineBottom;
    const auto mark = symbolPixmap(QStringLiteral("xmark"), lineColor, kMarkSize, devicePixelRatioF());
    painter.drawPixmap(QPointF(kLineInset, baseline - kMarkSize), mark);
    const double ruleLeft = kLineInset + kMarkSize + kMarkSpacing;
    painter.fillRect(QRectF(ruleLeft, baseline - 1, width() - kLineInset - ruleLeft, 1), lineColor);

    if (trackpad_) {
        painter.setFont(panel::font(kTrackpadHintSize, QFont::Medium));
        painter.setPen(black(0.5));
        const QRectF band(0, 0, width(), height() - kTrackpadHintBottom);
        painter.drawText(band, Qt::AlignHCenter | Qt::AlignBottom, hint());
    } else if (strokes_.empty()) {
        painter.setFont(panel::font(kEmptyHintSize));
        painter.setPen(black(0.35));
        painter.drawText(card, Qt::AlignCenter, hint());
    }

    QPen ink(Qt::black, SignatureInk::kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    ink.setMiterLimit(10);
    painter.strokePath(SignatureInk::path(strokes_), ink);

    // The border lies inside the card's edge.
    painter.setClipping(false);
    const double border = trackpad_ ? 2 : 1;
    QPen edge(trackpad_ ? panel::accent(palette()) : black(0.12), border);
    painter.setPen(edge);
    painter.setBrush(Qt::NoBrush);
    const double inset = border / 2;
    painter.drawRoundedRect(card.adjusted(inset, inset, -inset, -inset), kCornerRadius - inset, kCornerRadius - inset);
}

}  // namespace inkwarden
