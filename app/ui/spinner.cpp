#include "ui/spinner.hpp"

#include <QPainter>

namespace inkwarden {
namespace {

constexpr int kSpokes = 8;
constexpr int kStepMilliseconds = 100;

}  // namespace

Spinner::Spinner(int side, QWidget* parent) : QWidget(parent), side_(side) { setFixedSize(side, side); }

QSize Spinner::sizeHint() const { return {side_, side_}; }

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    QColor ink = palette().color(QPalette::WindowText);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (step_ - i + kSpokes) % kSpokes;
        ink.setAlphaF(1.0 - 0.8 * age / kSpokes);
        painter.setPen(QPen(ink, side_ / 8.0, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -side_ / 4.0), QPointF(0, -side_ / 2.0 + 1));
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent* event) {
    if (!timer_) timer_ = startTimer(kStepMilliseconds);
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
    if (timer_) killTimer(timer_);
    timer_ = 0;
    QWidget::hideEvent(event);
}

void Spinner::timerEvent(QTimerEvent*) {
    step_ = (step_ + 1) % kSpokes;
    update();
}

}  // namespace inkwarden
