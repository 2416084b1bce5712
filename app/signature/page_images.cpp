#include "signature/page_images.hpp"

#include <QPdfDocument>

namespace inkwarden {
namespace {

QImage renderWithPdf(QPdfDocument& document, int page, QSize size) {
    QImage image = document.render(page, size);
    if (image.isNull()) {
        // A page that cannot be drawn still shows as a blank page.
        image = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        image.fill(Qt::white);
    }
    return image;
}

}  // namespace

PageImages::PageImages(Render render) : render_(render ? std::move(render) : Render(renderWithPdf)) {}

PageImages& PageImages::shared() {
    static PageImages cache;
    return cache;
}

QImage PageImages::image(QPdfDocument& document, int page, double detail, QSize size) {
    for (const auto& entry : entries_) {
        if (entry.document == &document && entry.page == page && entry.detail == detail) return entry.image;
    }
    if (entries_.size() >= capacity) entries_.pop_front();
    QImage image = render_(document, page, size);
    entries_.push_back({&document, page, detail, image});
    return image;
}

}  // namespace inkwarden
