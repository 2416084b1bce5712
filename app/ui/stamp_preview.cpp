#include "ui/stamp_preview.hpp"

#include <QPainter>
#include <QPainterPath>

namespace inkwarden {
namespace {

constexpr qreal kCornerRadius = 8;
constexpr qreal kPadding = 10;
constexpr qreal kBorderWidth = 1;
constexpr qreal kBorderOpacity = 0.12;

}  // namespace

StampPreview::StampPreview(QImage image, QWidget* parent) : QWidget(parent), image_(std::move(image)) {}

void StampPreview::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void StampPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF card = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(card, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, Qt::white);

    if (!image_.isNull()) {
        const QRectF room = card.adjusted(kPadding, kPadding, -kPadding, -kPadding);
        QSizeF size = QSizeF(image_.size()).scaled(room.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), size);
        target.moveCenter(room.center());
        painter.drawImage(target, image_);
    }

    // The border lies inside the card.
    const qreal inset = kBorderWidth / 2;
    QPen pen(QColor::fromRgbF(0, 0, 0, kBorderOpacity), kBorderWidth);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card.adjusted(inset, inset, -inset, -inset), kCornerRadius - inset, kCornerRadius - inset);
}

}  // namespace inkwarden
