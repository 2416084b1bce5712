#pragma once

#include "signature/pdf_geometry.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QRectF>
#include <QSizeF>
#include <QString>

class QBuffer;
class QPdfDocument;

namespace inkwarden {

/// A document opened for signing: the PDF the signed copy is written from, the geometry of its
/// pages, and a copy for drawing and text search whose pages are cropped to their media boxes
/// (the pages are measured by their media boxes everywhere). Main thread only.
class SigningDocument {
public:
    /// The page size used for a page whose geometry cannot be read.
    static constexpr QSizeF kFallbackPageSize{595, 842};

    /// Opens a PDF, or an image as a one-page PDF, as the document preview does, and throws its
    /// ToolErrors (a password-protected PDF, anything that is neither a PDF with pages nor an
    /// image).
    static std::shared_ptr<SigningDocument> open(std::string_view bytes);

    ~SigningDocument();
    SigningDocument(const SigningDocument&) = delete;
    SigningDocument& operator=(const SigningDocument&) = delete;

    /// The PDF bytes (an image already made into a PDF).
    const std::string& pdf() const noexcept { return pdf_; }

    int pageCount() const noexcept { return static_cast<int>(pages_.size()); }

    /// None for an index outside the document or a page whose geometry cannot be read.
    std::optional<PageGeometry> page(int index) const;

    /// W × H of every page as displayed, in page order (595 × 842 for an unreadable page).
    std::vector<QSizeF> pageSizes() const;

    /// The copy to draw and search, owned by the document.
    QPdfDocument& display() const noexcept { return *display_; }

    /// The first match of `text`, case-insensitive, on the page `preferred` (counted from 0)
    /// when it has one, else on the earliest page: the page and the match's bounds in that
    /// page's own PDF space.
    std::optional<std::pair<int, QRectF>> find(const QString& text, int preferred) const;

private:
    SigningDocument() = default;

    std::string pdf_;
    std::vector<std::optional<PageGeometry>> pages_;
    // QtPdf reads from the buffer for as long as the copy lives, so it goes first.
    std::unique_ptr<QBuffer> displayBytes_;
    std::unique_ptr<QPdfDocument> display_;
};

}  // namespace inkwarden
