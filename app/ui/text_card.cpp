#include "ui/text_card.hpp"

#include <QPainter>

namespace inkwarden {

TextCard::TextCard(const QString& text, const QColor& fill, qreal radius, QWidget* parent)
    : QLabel(text, parent), fill_(fill), radius_(radius) {
    setTextFormat(Qt::PlainText);
}

void TextCard::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill_);
        painter.drawRoundedRect(QRectF(rect()), radius_, radius_);
    }
    QLabel::paintEvent(event);
}

}  // namespace inkwarden
