#include "ui/symbol.hpp"

#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library must be registered by name before their first use.
static void registerApprovalResources() {
    Q_INIT_RESOURCE(approval);
}

namespace inkwarden {

QPixmap tintedSymbol(const QString& resource, int size, const QColor& color, qreal ratio) {
    static const bool registered = (registerApprovalResources(), true);
    (void)registered;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(resource).render(&painter, QRectF(0, 0, size, size));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(0, 0, size, size), color);
    return pixmap;
}

}  // namespace inkwarden
