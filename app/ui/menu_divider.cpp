#include "ui/menu_divider.hpp"

#include <QPainter>

#include "ui/panel_style.hpp"

namespace inkwarden {
namespace {

constexpr int kSideInset = 8;
constexpr int kVerticalInset = 4;
constexpr int kLine = 1;
constexpr double kLineOpacity = 0.15;

}  // namespace

MenuDivider::MenuDivider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kVerticalInset * 2 + kLine);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize MenuDivider::sizeHint() const { return {2 * kSideInset, kVerticalInset * 2 + kLine}; }

void MenuDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = panel::primary(palette());
    line.setAlphaF(kLineOpacity);
    painter.fillRect(QRect(kSideInset, kVerticalInset, width() - 2 * kSideInset, kLine), line);
}

}  // namespace inkwarden
