#include "ui/menu_row.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/panel_style.hpp"
#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kSpacing = 10;
constexpr int kMinimumGap = 8;
constexpr int kBadgeSide = 26;
// The symbols fill about four fifths of their box: a box of 15 gives the badge a 12-high glyph.
constexpr int kSymbolSize = 15;
constexpr int kTextSpacing = 1;
constexpr int kTitleSize = 13;
constexpr int kSubtitleSize = 11;
constexpr int kSidePadding = 8;
constexpr int kPaddingWithIcon = 4;
constexpr int kPaddingWithoutIcon = 5;

}  // namespace

MenuRow::MenuRow(std::optional<QString> icon, bool iconProminent, const QString& title,
                 std::optional<QString> subtitle, QWidget* parent)
    : HoverButton(parent),
      layout_(new QHBoxLayout(this)),
      badge_(new SymbolBadge(this)),
      title_(new QLabel(this)),
      subtitle_(new QLabel(this)) {
    layout_->setSpacing(kSpacing);
    layout_->addWidget(badge_, 0, Qt::AlignVCenter);

    auto* text = new QVBoxLayout;
    text->setSpacing(kTextSpacing);
    title_->setFont(panel::font(kTitleSize));
    title_->setObjectName("title");
    subtitle_->setFont(panel::font(kSubtitleSize));
    subtitle_->setObjectName("subtitle");
    subtitle_->setWordWrap(true);
    panel::setTextColor(subtitle_, panel::secondary(palette()));
    text->addWidget(title_);
    text->addWidget(subtitle_);
    layout_->addLayout(text, 1);
    layout_->addSpacing(kMinimumGap);

    for (QWidget* child : {static_cast<QWidget*>(badge_), static_cast<QWidget*>(title_),
                           static_cast<QWidget*>(subtitle_)}) {
        passClicksThrough(child);
    }
    setIcon(std::move(icon), iconProminent);
    setTitle(title);
    setSubtitle(std::move(subtitle));
}

void MenuRow::setIcon(std::optional<QString> icon, bool prominent) {
    icon_ = std::move(icon);
    badge_->setVisible(icon_.has_value());
    if (icon_) badge_->setSymbol(*icon_, prominent);
    applyPadding();
}

void MenuRow::setTitle(const QString& title) {
    title_->setText(title);
    setText(title);
}

void MenuRow::setSubtitle(std::optional<QString> subtitle) {
    subtitle_->setVisible(subtitle.has_value());
    subtitle_->setText(subtitle.value_or(QString()));
}

void MenuRow::setAccessory(QWidget* accessory) {
    if (accessory_) accessory_->deleteLater();
    accessory_ = accessory;
    if (!accessory_) return;
    accessory_->setParent(this);
    passClicksThrough(accessory_);
    layout_->addWidget(accessory_, 0, Qt::AlignVCenter);
}

QString MenuRow::title() const { return title_->text(); }

std::optional<QString> MenuRow::subtitle() const {
    if (subtitle_->isHidden()) return std::nullopt;
    return subtitle_->text();
}

void MenuRow::applyPadding() {
    const int vertical = icon_ ? kPaddingWithIcon : kPaddingWithoutIcon;
    layout_->setContentsMargins(kSidePadding, vertical, kSidePadding, vertical);
}

SymbolBadge::SymbolBadge(QWidget* parent) : QWidget(parent) { setFixedSize(kBadgeSide, kBadgeSide); }

void SymbolBadge::setSymbol(const QString& name, bool prominent) {
    name_ = name;
    prominent_ = prominent;
    update();
}

QSize SymbolBadge::sizeHint() const { return {kBadgeSide, kBadgeSide}; }

void SymbolBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(prominent_ ? panel::accent(palette()) : panel::quaternary(palette()));
    painter.drawEllipse(QRectF(rect()));
    const QColor ink = prominent_ ? QColor(Qt::white) : panel::primary(palette());
    const QPixmap symbol = symbolPixmap(name_, ink, kSymbolSize, devicePixelRatioF());
    const QPointF corner((width() - kSymbolSize) / 2.0, (height() - kSymbolSize) / 2.0);
    painter.drawPixmap(corner, symbol);
}

}  // namespace inkwarden
