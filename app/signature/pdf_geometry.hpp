#pragma once

#include <optional>

#include <QRectF>
#include <QSizeF>
#include <QTransform>

class QPDFPageObjectHelper;

namespace inkwarden {

/// Where a PDF page stands: its media box in the page's own space, its rotation (clockwise,
/// normalised to 0, 90, 180 or 270) and its user unit.
struct PageGeometry {
    QRectF mediaBox;
    int rotation = 0;
    double userUnit = 1;

    /// W × H of the page as displayed: the media box, its sides swapped for 90 and 270 degrees.
    QSizeF displayedSize() const;

    /// Maps the page's own space onto the page as displayed: origin at its lower-left corner,
    /// y growing upwards, the rotation applied.
    QTransform toDisplayed() const;

    /// The geometry of `page` with inherited attributes; none when its media box is no rectangle
    /// of positive size.
    static std::optional<PageGeometry> of(QPDFPageObjectHelper& page);
};

}  // namespace inkwarden
