#include "ui/panel_style.hpp"

#include <QApplication>
#include <QWidget>

namespace inkwarden::panel {
namespace {

QColor faded(const QPalette& palette, double opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(opacity);
    return color;
}

}  // namespace

QFont font(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor primary(const QPalette& palette) { return palette.color(QPalette::WindowText); }
QColor secondary(const QPalette& palette) { return faded(palette, 0.55); }
QColor tertiary(const QPalette& palette) { return faded(palette, 0.3); }
QColor quaternary(const QPalette& palette) { return faded(palette, 0.1); }
QColor accent(const QPalette& palette) { return palette.color(QPalette::Highlight); }

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    // Inside a button a label draws with the button's text role.
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

}  // namespace inkwarden::panel
