#include "signature/signing_document.hpp"

#include "signature/document_preview.hpp"
#include "signature/tool_error.hpp"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QBuffer>
#include <QPdfDocument>
#include <QPdfSelection>

namespace inkwarden {

namespace {

struct ReadPdf {
    std::vector<std::optional<PageGeometry>> pages;
    std::string display;  // every page cropped to its media box
};

/// The pages of a PDF and its display copy; none when qpdf cannot read them.
std::optional<ReadPdf> readPdf(std::string_view bytes) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("document", bytes.data(), bytes.size());
        ReadPdf result;
        for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            auto geometry = PageGeometry::of(page);
            if (geometry) {
                const auto& box = geometry->mediaBox;
                page.getObjectHandle().replaceKey(
                    "/CropBox", QPDFObjectHandle::newArray(
                                    QPDFObjectHandle::Rectangle(box.left(), box.top(), box.right(), box.bottom())));
            }
            result.pages.push_back(geometry);
        }
        if (result.pages.empty()) return std::nullopt;
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.setPreserveEncryption(false);
        // Only the page dictionaries change; a damaged stream stays for the writer to refuse.
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        result.display.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        return result;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

SigningDocument::~SigningDocument() = default;

std::shared_ptr<SigningDocument> SigningDocument::open(std::string_view bytes) {
    // The preview decides what can be shown (locked PDFs and other bytes are refused) and makes
    // an image into a PDF; the rest is measured here.
    auto pdf = DocumentPreview(bytes, std::nullopt).pdf();
    auto read = readPdf(pdf);
    if (!read) throw ToolError(DocumentPreview::kUnreadableText);
    std::shared_ptr<SigningDocument> document(new SigningDocument);
    document->pdf_ = std::move(pdf);
    document->pages_ = std::move(read->pages);
    document->displayBytes_ = std::make_unique<QBuffer>();
    document->displayBytes_->setData(QByteArray::fromStdString(read->display));
    document->displayBytes_->open(QIODevice::ReadOnly);
    document->display_ = std::make_unique<QPdfDocument>();
    document->display_->load(document->displayBytes_.get());
    if (document->display_->status() != QPdfDocument::Status::Ready) throw ToolError(DocumentPreview::kUnreadableText);
    return document;
}

std::optional<PageGeometry> SigningDocument::page(int index) const {
    if (index < 0 || index >= pageCount()) return std::nullopt;
    return pages_[index];
}

std::vector<QSizeF> SigningDocument::pageSizes() const {
    std::vector<QSizeF> sizes;
    sizes.reserve(pages_.size());
    for (const auto& page : pages_) sizes.push_back(page ? page->displayedSize() : kFallbackPageSize);
    return sizes;
}

std::optional<std::pair<int, QRectF>> SigningDocument::find(const QString& text, int preferred) const {
    if (text.isEmpty()) return std::nullopt;
    auto onPage = [&](int index) -> std::optional<QRectF> {
        const auto all = display_->getAllText(index).text();
        const auto at = all.indexOf(text, 0, Qt::CaseInsensitive);
        if (at < 0) return std::nullopt;
        const auto selection = display_->getSelectionAtIndex(index, at, static_cast<int>(text.size()));
        if (!selection.isValid()) return std::nullopt;
        // QtPdf measures from the top of the page as displayed without turning the page: back
        // to the page's own space, y upwards.
        const auto r = selection.boundingRectangle();
        const double height = display_->pagePointSize(index).height();
        return QRectF(r.x(), height - r.y() - r.height(), r.width(), r.height());
    };
    const int count = display_->pageCount();
    if (preferred >= 0 && preferred < count) {
        if (auto found = onPage(preferred)) return std::pair{preferred, *found};
    }
    for (int index = 0; index < count; ++index) {
        if (index == preferred) continue;
        if (auto found = onPage(index)) return std::pair{index, *found};
    }
    return std::nullopt;
}

}  // namespace inkwarden
