#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace inkwarden::panel {

// Lengths are device-independent pixels; text sizes are pixel sizes, so a 13 reads as the
// panel's 13-point menu text at any screen density.

/// The system font at `pixelSize`, in `weight`.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

/// Text and fills as the palette's text colour at fading strengths.
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
QColor quaternary(const QPalette& palette);
QColor accent(const QPalette& palette);

/// Gives a label its colour through its palette, so it follows the theme it was made in.
void setTextColor(QWidget* widget, const QColor& color);

}  // namespace inkwarden::panel
