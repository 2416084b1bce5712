#pragma once

#include <QAbstractButton>

namespace inkwarden {

/// A button without chrome whose whole rectangle is clickable and which shows a soft rounded
/// highlight while the pointer is over it. Rows and section headers of the panel build on it.
class HoverButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit HoverButton(QWidget* parent = nullptr);

    bool isHovering() const noexcept { return hovering_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

    /// Lets clicks on a child reach the button, so empty and filled parts behave alike.
    static void passClicksThrough(QWidget* child);

private:
    bool hovering_ = false;
};

}  // namespace inkwarden
