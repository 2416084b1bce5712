#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>
#include <QRectF>

namespace inkwarden {

/// Writes a document anew with images drawn on its pages: every page upright at its media box's
/// size (its rotation baked in), annotations and form fields flattened into the content, text
/// kept as text, no document information.
class SignedPDF {
public:
    SignedPDF() = delete;

    struct Overlay {
        /// Counted from 0.
        int page = 0;
        /// Drawn with its own transparency.
        QImage image;
        /// Where the image is stretched to, in points of the page as displayed, origin at its
        /// lower-left corner, y upwards.
        QRectF rect;
    };

    /// The new PDF with every page of `source` in order, each followed by its overlays in list
    /// order; overlays for no page are ignored. None when the source cannot be read or any one
    /// page cannot be drawn: a page is never left out, which would shift the pages after it.
    static std::optional<std::string> write(std::string_view source, const std::vector<Overlay>& overlays);
};

}  // namespace inkwarden
