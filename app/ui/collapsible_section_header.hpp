#pragma once

#include <QString>

#include "ui/hover_button.hpp"

class QLabel;

namespace inkwarden {

class Chevron;

/// The clickable title of a foldable panel section, with a chevron pointing down while the
/// section is open. It never folds anything itself: a click emits `clicked()` and the owner
/// decides, then calls `setExpanded`. Main thread only.
class CollapsibleSectionHeader : public HoverButton {
    Q_OBJECT

public:
    CollapsibleSectionHeader(const QString& title, bool expanded, QWidget* parent = nullptr);

    void setExpanded(bool expanded);
    bool isExpanded() const;

private:
    QLabel* title_;
    Chevron* chevron_;
};

}  // namespace inkwarden
