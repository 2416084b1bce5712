#include "ui/hover_button.hpp"

#include <QEnterEvent>
#include <QPainter>

#include "ui/panel_style.hpp"

namespace inkwarden {
namespace {

constexpr qreal kCornerRadius = 6;
constexpr qreal kHoverOpacity = 0.1;

}  // namespace

HoverButton::HoverButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void HoverButton::paintEvent(QPaintEvent*) {
    if (!hovering_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = panel::primary(palette());
    fill.setAlphaF(kHoverOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
}

void HoverButton::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void HoverButton::passClicksThrough(QWidget* child) { child->setAttribute(Qt::WA_TransparentForMouseEvents); }

}  // namespace inkwarden
