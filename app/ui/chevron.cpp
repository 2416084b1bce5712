#include "ui/chevron.hpp"

#include <QPainter>

#include "ui/panel_style.hpp"
#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kSymbolSize = 12;

}  // namespace

Chevron::Chevron(QWidget* parent) : QWidget(parent) { setFixedSize(kSymbolSize, kSymbolSize); }

void Chevron::setOpen(bool open) {
    if (open_ == open) return;
    open_ = open;
    update();
}

QSize Chevron::sizeHint() const { return {kSymbolSize, kSymbolSize}; }

void Chevron::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(width() / 2.0, height() / 2.0);
    if (open_) painter.rotate(90);
    const QPixmap symbol =
        symbolPixmap(QStringLiteral("chevron.right"), panel::secondary(palette()), kSymbolSize, devicePixelRatioF());
    painter.drawPixmap(QPointF(-kSymbolSize / 2.0, -kSymbolSize / 2.0), symbol);
}

}  // namespace inkwarden
