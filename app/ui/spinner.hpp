#pragma once

#include <QWidget>

namespace inkwarden {

/// A small indeterminate progress circle that turns while it is visible.
class Spinner : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(int side, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int side_;
    int step_ = 0;
    int timer_ = 0;
};

}  // namespace inkwarden
