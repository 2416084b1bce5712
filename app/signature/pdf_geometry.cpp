#include "signature/pdf_geometry.hpp"

#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>

namespace inkwarden {

QSizeF PageGeometry::displayedSize() const {
    const auto size = mediaBox.size();
    return rotation % 180 == 0 ? size : size.transposed();
}

QTransform PageGeometry::toDisplayed() const {
    const double left = mediaBox.left(), bottom = mediaBox.top();  // top() is the smaller y
    const double w = mediaBox.width(), h = mediaBox.height();
    switch (rotation) {
    case 90: return QTransform(0, -1, 1, 0, -bottom, left + w);
    case 180: return QTransform(-1, 0, 0, -1, left + w, bottom + h);
    case 270: return QTransform(0, 1, -1, 0, bottom + h, -left);
    default: return QTransform(1, 0, 0, 1, -left, -bottom);
    }
}

std::optional<PageGeometry> PageGeometry::of(QPDFPageObjectHelper& page) {
    auto box = page.getMediaBox();
    if (!box.isRectangle()) return std::nullopt;
    auto r = box.getArrayAsRectangle();
    PageGeometry geometry;
    // Corners may come in any order.
    geometry.mediaBox = QRectF(QPointF(std::min(r.llx, r.urx), std::min(r.lly, r.ury)),
                               QPointF(std::max(r.llx, r.urx), std::max(r.lly, r.ury)));
    if (!(geometry.mediaBox.width() > 0 && geometry.mediaBox.height() > 0) ||
        !std::isfinite(geometry.mediaBox.width()) || !std::isfinite(geometry.mediaBox.height()))
        return std::nullopt;

    auto rotate = page.getAttribute("/Rotate", false);
    if (rotate.isNumber()) {
        const double degrees = rotate.getNumericValue();
        // As viewers read it: whole quarter turns, negative ones counted backwards.
        if (std::isfinite(degrees) && std::abs(degrees) < 1e9) {
            const long quarters = static_cast<long>(degrees) / 90;
            geometry.rotation = static_cast<int>(((quarters % 4) + 4) % 4) * 90;
        }
    }
    auto unit = page.getObjectHandle().getKey("/UserUnit");
    if (unit.isNumber()) {
        const double value = unit.getNumericValue();
        if (std::isfinite(value) && value > 0) geometry.userUnit = value;
    }
    return geometry;
}

}  // namespace inkwarden
