#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace inkwarden {

/// One of our own line symbols (":/approval/seal.svg" and the like), drawn `size` pt square in
/// `color` at the device pixel ratio `ratio`.
QPixmap tintedSymbol(const QString& resource, int size, const QColor& color, qreal ratio = 1.0);

}  // namespace inkwarden
