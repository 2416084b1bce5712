#include "ui/collapsible_section_header.hpp"

#include <QHBoxLayout>
#include <QLabel>

#include "ui/chevron.hpp"
#include "ui/panel_style.hpp"

namespace inkwarden {
namespace {

constexpr int kTitleSize = 13;
constexpr int kSidePadding = 8;
constexpr int kVerticalPadding = 4;

}  // namespace

CollapsibleSectionHeader::CollapsibleSectionHeader(const QString& title, bool expanded, QWidget* parent)
    : HoverButton(parent), title_(new QLabel(title, this)), chevron_(new Chevron(this)) {
    setText(title);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kSidePadding, kVerticalPadding, kSidePadding, kVerticalPadding);
    title_->setFont(panel::font(kTitleSize, QFont::DemiBold));
    panel::setTextColor(title_, panel::secondary(palette()));
    layout->addWidget(title_);
    layout->addStretch(1);
    layout->addWidget(chevron_, 0, Qt::AlignVCenter);
    passClicksThrough(title_);
    passClicksThrough(chevron_);
    chevron_->setOpen(expanded);
}

void CollapsibleSectionHeader::setExpanded(bool expanded) { chevron_->setOpen(expanded); }

bool CollapsibleSectionHeader::isExpanded() const { return chevron_->isOpen(); }

}  // namespace inkwarden
