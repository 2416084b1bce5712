#pragma once

#include <QColor>
#include <QLabel>

namespace inkwarden {

/// A plain-text label on a rounded, filled card: how the company text looks wherever a window
/// shows it.
class TextCard : public QLabel {
public:
    TextCard(const QString& text, const QColor& fill, qreal radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    qreal radius_;
};

}  // namespace inkwarden
