#pragma once

#include <QWidget>

namespace inkwarden {

/// The "chevron.right" symbol, pointing right, or down (a quarter turn about its centre) while
/// open. Draws only; clicks go to whatever holds it.
class Chevron : public QWidget {
    Q_OBJECT

public:
    explicit Chevron(QWidget* parent = nullptr);

    void setOpen(bool open);
    bool isOpen() const noexcept { return open_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool open_ = false;
};

}  // namespace inkwarden
