#pragma once

#include <QSizeF>

#include <optional>
#include <vector>

namespace inkwarden {

/// Where each page of a document stands in the pages view's column, in points from the column's
/// top-left corner.
struct PagesLayout {
    /// The gap between two pages.
    static constexpr double gap = 10;

    /// Lays out pages of the given displayed sizes in a column `width` points wide.
    PagesLayout(const std::vector<QSizeF>& sizes, double width);

    double width = 0;
    /// The distance from the column's top to each page's top edge.
    std::vector<double> tops;
    /// Each page's height in the column.
    std::vector<double> heights;

    /// The column's height: from the first page's top to the last page's bottom.
    double height() const;

    /// The page whose area holds `y`; none in a gap, above the first page or below the last.
    std::optional<int> pageAt(double y) const;
};

/// The resolution pages are rendered at for a zoom: thumbnails grow in three steps.
double detailLevel(double zoom);

/// The zoom range of the pages view.
inline constexpr double minimumZoom = 1;
inline constexpr double maximumZoom = 5;

/// Follows one pinch: every change scales the zoom the pinch started from.
struct PinchZoom {
    std::optional<double> pinchStart;

    /// The new zoom for a pinch whose total magnification is `magnification`, from `zoom` when
    /// the pinch has only just begun.
    double changed(double zoom, double magnification);

    void ended() { pinchStart.reset(); }
};

}  // namespace inkwarden
