#include "ui/menu_view.hpp"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/menu_divider.hpp"
#include "ui/status_header.hpp"

namespace inkwarden {
namespace {

constexpr int kSpacing = 4;
constexpr int kSidePadding = 6;
constexpr int kVerticalPadding = 10;

std::size_t indexOf(MenuView::Section place) { return static_cast<std::size_t>(place); }

int heightAt(QLayout* layout, int width) {
    return layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
}

}  // namespace

MenuView::MenuView(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)), header_(new StatusHeader(this)) {
    setObjectName("menuView");
    setWindowTitle(QStringLiteral("Inkwarden"));
    setFixedWidth(kWidth);
    layout_->setContentsMargins(kSidePadding, kVerticalPadding, kSidePadding, kVerticalPadding);
    layout_->setSpacing(kSpacing);
    layout_->addWidget(header_);
    for (std::size_t i = 0; i < dividers_.size(); ++i) {
        dividers_[i] = new MenuDivider(this);
        dividers_[i]->hide();
        layout_->addWidget(dividers_[i]);
        // An empty place keeps its position in the column for a section added later.
        layout_->addStretch(0);
    }
    fitHeight();
}

void MenuView::setSection(Section place, QWidget* section) {
    const auto i = indexOf(place);
    if (sections_[i]) sections_[i]->deleteLater();
    sections_[i] = section;
    // Item 0 is the header; each place holds a divider and the slot after it.
    const int slot = 2 + 2 * static_cast<int>(i);
    delete layout_->takeAt(slot);
    if (section) {
        section->setParent(this);
        layout_->insertWidget(slot, section);
        section->show();
    } else {
        layout_->insertStretch(slot, 0);
    }
    dividers_[i]->setVisible(section != nullptr);
    fitHeight();
}

QWidget* MenuView::section(Section place) const { return sections_[indexOf(place)]; }

QSize MenuView::sizeHint() const { return {kWidth, heightAt(layout_, kWidth)}; }

bool MenuView::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest) fitHeight();
    return handled;
}

void MenuView::showEvent(QShowEvent* event) {
    Q_EMIT aboutToShow();
    fitHeight();
    QWidget::showEvent(event);
}

void MenuView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (isWindow() && (windowFlags() & Qt::FramelessWindowHint)) {
        // A frameless popup needs its own edge against whatever lies below it.
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlphaF(0.2);
        painter.setPen(edge);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void MenuView::fitHeight() {
    const int height = heightAt(layout_, kWidth);
    if (height > 0 && height != this->height()) setFixedHeight(height);
}

}  // namespace inkwarden
