#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QPdfDocument;
class QPdfView;

namespace inkwarden {

/// A document the user should see while signing: a PDF, or an image made into a one-page PDF,
/// opened on a page. Copies share the opened document. Main thread only.
class DocumentPreview {
public:
    static constexpr const char* kLockedText =
        "This PDF is password-protected, so Inkwarden can't show or sign it. Ask the user for a copy without the "
        "password.";
    static constexpr const char* kUnreadableText =
        "Inkwarden can only show PDFs and images. Convert the document to PDF, or leave out document_path.";

    /// Opens `data` on `page` (counted from 1; none or below 2 is the first page, past the end the
    /// last). Throws ToolError with `kLockedText` for a PDF that needs a password to open, and with
    /// `kUnreadableText` for bytes that are neither a PDF with pages nor a readable image.
    DocumentPreview(std::string_view data, std::optional<std::int64_t> page);

    /// The opened document; it has at least one page and is never locked.
    QPdfDocument& document() const;
    /// The document's PDF bytes: the bytes given, or the PDF made from the image.
    const std::string& pdf() const;
    int pageCount() const;
    /// Counted from 1, within 1...pageCount().
    int page() const noexcept { return page_; }

    /// The line under the pages: which page it opened on, when there is more than one.
    QString caption() const;

private:
    struct Opened;
    std::shared_ptr<Opened> opened_;
    int page_ = 1;
};

/// The preview beside the signature pad: the pages in a scrolling read-only view, opened on the
/// preview's page, and the caption below. Takes the size its parent gives it.
class DocumentPreviewView final : public QWidget {
    Q_OBJECT

public:
    explicit DocumentPreviewView(DocumentPreview preview, QWidget* parent = nullptr);

    const DocumentPreview& preview() const noexcept { return preview_; }
    /// The page the view shows at the top, counted from 0.
    int currentPageIndex() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    DocumentPreview preview_;
    QPdfView* pages_;
    bool opened_ = false;
};

}  // namespace inkwarden
