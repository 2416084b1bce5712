#pragma once

#include <QImage>
#include <QPointer>
#include <QSize>

#include <cstddef>
#include <deque>
#include <functional>

class QPdfDocument;

namespace inkwarden {

/// Rendered pages, at most `capacity` of them, the oldest dropped first. An image is kept per page
/// and detail level; a later request at another pixel size gets the kept image, which the view
/// stretches. Main thread only.
class PageImages {
public:
    static constexpr std::size_t capacity = 25;

    using Render = std::function<QImage(QPdfDocument& document, int page, QSize size)>;

    /// Renders with QtPdf unless told otherwise.
    explicit PageImages(Render render = {});

    /// The one cache the pages views share.
    static PageImages& shared();

    /// The page's image at this detail level, rendered at `size` pixels when none is kept.
    QImage image(QPdfDocument& document, int page, double detail, QSize size);

    /// Forgets every image, so that nothing of an earlier document is shown again.
    void clear() { entries_.clear(); }

    struct Entry {
        // Guarded, so an image of a closed document never answers for a new one at its address.
        QPointer<QPdfDocument> document;
        int page;
        double detail;
        QImage image;
    };
    /// Oldest first.
    const std::deque<Entry>& entries() const { return entries_; }

private:
    Render render_;
    std::deque<Entry> entries_;
};

}  // namespace inkwarden
