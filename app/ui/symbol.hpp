#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace inkwarden {

/// Makes the application's own images (":/inkwarden.svg", ":/tray.svg", ":/symbols/...")
/// reachable. Idempotent; the helpers below call it themselves.
void loadResources();

/// The symbol `name` (for example "doc.on.doc") drawn in `color`, `pixelSize` square, for a
/// screen of `devicePixelRatio`. A null pixmap when there is no such symbol.
QPixmap symbolPixmap(const QString& name, const QColor& color, int pixelSize, qreal devicePixelRatio);

/// The application icon, and the tray icon, which reads on light and dark panels alike.
QIcon applicationIcon();
QIcon trayIcon();

}  // namespace inkwarden
