#pragma once

#include <QString>
#include <Qt>

#include <optional>

class QFont;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace inkwarden {

/// The spacing shared by the windows that ask for a signature.
inline constexpr int kRequestSpacing = 10;
inline constexpr int kRequestDocumentSize = 12;

/// A label of plain text (never rich text: the texts come from clients).
QLabel* textLabel(const QString& text, const QFont& font, Qt::Alignment alignment, bool wrap = true);

/// Lays `view` out as the column of a signature window and fills its top: the glyph, who asks,
/// why (five lines at most), and the document's name when there is one, elided in the middle to
/// fit `width`. Gives the column for the rest of the window.
QVBoxLayout* addRequestHeader(QWidget* view, int width, const QString& title, const QString& reason,
                              const std::optional<QString>& document);

}  // namespace inkwarden
