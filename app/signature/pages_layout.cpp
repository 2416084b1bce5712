#include "signature/pages_layout.hpp"

#include <algorithm>

namespace inkwarden {

PagesLayout::PagesLayout(const std::vector<QSizeF>& sizes, double width) : width(width) {
    tops.reserve(sizes.size());
    heights.reserve(sizes.size());
    double total = 0;
    for (const auto& size : sizes) {
        // A page a point wide or less would blow up the height: it counts as one point.
        const double height = size.width() > 1 ? width * size.height() / size.width() : width * size.height();
        tops.push_back(total);
        heights.push_back(height);
        total += height + gap;
    }
}

double PagesLayout::height() const {
    return tops.empty() ? 0 : tops.back() + heights.back();
}

std::optional<int> PagesLayout::pageAt(double y) const {
    // The last page whose top is at or above y, if y lies within it.
    auto after = std::upper_bound(tops.begin(), tops.end(), y);
    if (after == tops.begin()) return std::nullopt;
    const auto index = static_cast<int>(after - tops.begin()) - 1;
    if (y > tops[index] + heights[index]) return std::nullopt;
    return index;
}

double detailLevel(double zoom) {
    if (zoom > 2.5) return 5;
    if (zoom > 1.2) return 2.5;
    return 1;
}

double PinchZoom::changed(double zoom, double magnification) {
    const double start = pinchStart.value_or(zoom);
    pinchStart = start;
    return std::min(maximumZoom, std::max(minimumZoom, magnification * start));
}

}  // namespace inkwarden
