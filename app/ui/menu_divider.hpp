#pragma once

#include <QWidget>

namespace inkwarden {

/// A thin separator line between panel sections, inset 8 at the sides and 4 above and below.
class MenuDivider : public QWidget {
    Q_OBJECT

public:
    explicit MenuDivider(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace inkwarden
