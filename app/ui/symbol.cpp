#include "ui/symbol.hpp"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>

// Outside any namespace: the resource initialiser's name is global. Calling it keeps the linker
// from dropping the compiled-in images out of the static library.
static void initResources() { Q_INIT_RESOURCE(resources); }

namespace inkwarden {

void loadResources() {
    static const bool loaded = [] {
        initResources();
        return true;
    }();
    (void)loaded;
}

QPixmap symbolPixmap(const QString& name, const QColor& color, int pixelSize, qreal devicePixelRatio) {
    loadResources();
    QSvgRenderer renderer(QStringLiteral(":/symbols/%1.svg").arg(name));
    if (!renderer.isValid()) return {};
    const int side = qRound(pixelSize * devicePixelRatio);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The images are drawn in black; keep their shape and give it the colour asked for.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon applicationIcon() {
    loadResources();
    return QIcon(QStringLiteral(":/inkwarden.svg"));
}

QIcon trayIcon() {
    loadResources();
    return QIcon(QStringLiteral(":/tray.svg"));
}

}  // namespace inkwarden
