#include "signature/document_preview.hpp"

#include "signature/tool_error.hpp"
#include "ui/panel_style.hpp"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPdfWriter>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace inkwarden {

struct DocumentPreview::Opened {
    std::string pdf;
    QByteArray bytes;
    QBuffer buffer;
    QPdfDocument document;
};

namespace {

constexpr double kCornerRadius = 10;
constexpr int kSpacing = 6;
constexpr int kCaptionSize = 11;


/// A one-page PDF holding `image` at one point per pixel; empty when it cannot be written.
std::string pdfOfImage(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return {};
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        const QSizeF size(image.width(), image.height());
        writer.setPageLayout(QPageLayout(QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                         QPageLayout::Portrait, QMarginsF()));
        QPainter painter;
        if (!painter.begin(&writer)) return {};
        painter.drawImage(QRectF(QPointF(0, 0), size), image);
    }
    return bytes.toStdString();
}

}  // namespace

DocumentPreview::DocumentPreview(std::string_view data, std::optional<std::int64_t> page) {
    auto open = [](std::string pdf) {
        auto opened = std::make_shared<Opened>();
        opened->pdf = std::move(pdf);
        opened->bytes = QByteArray(opened->pdf.data(), static_cast<qsizetype>(opened->pdf.size()));
        opened->buffer.setBuffer(&opened->bytes);
        opened->buffer.open(QIODevice::ReadOnly);
        opened->document.load(&opened->buffer);
        return opened;
    };

    auto opened = open(std::string(data));
    if (opened->document.error() == QPdfDocument::Error::IncorrectPassword) throw ToolError(kLockedText);
    const std::int64_t wanted = !page || *page < 2 ? 1 : *page;
    if (opened->document.status() == QPdfDocument::Status::Ready && opened->document.pageCount() > 0) {
        opened_ = std::move(opened);
        page_ = static_cast<int>(std::min<std::int64_t>(wanted, opened_->document.pageCount()));
        return;
    }

    // Not a PDF with pages: maybe an image, which becomes a page of its own.
    QImage image;
    if (!data.empty() && data.size() <= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        image.loadFromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size()));
    if (!image.isNull()) {
        auto pdf = pdfOfImage(image);
        if (!pdf.empty()) {
            auto made = open(std::move(pdf));
            if (made->document.status() == QPdfDocument::Status::Ready && made->document.pageCount() > 0) {
                opened_ = std::move(made);
                page_ = 1;
                return;
            }
        }
    }
    throw ToolError(kUnreadableText);
}

QPdfDocument& DocumentPreview::document() const {
    return opened_->document;
}

const std::string& DocumentPreview::pdf() const {
    return opened_->pdf;
}

int DocumentPreview::pageCount() const {
    return opened_->document.pageCount();
}

QString DocumentPreview::caption() const {
    if (pageCount() < 2) return QObject::tr("This is the document your AI wants signed.");
    return QObject::tr("Opened on page %1 of %2. Scroll to read the rest.").arg(page_).arg(pageCount());
}

namespace {

/// The pages' frame: rounded corners and a faint border drawn inside its edge, over the pages.
class PagesFrame final : public QWidget {
public:
    explicit PagesFrame(QWidget* pages) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(pages);
        border_ = new Border(this);
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
        border_->setGeometry(rect());
        border_->raise();
    }

private:
    class Border final : public QWidget {
    public:
        explicit Border(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

    protected:
        void paintEvent(QPaintEvent*) override {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            QColor color = panel::primary(palette());
            color.setAlphaF(0.12f);
            painter.setPen(QPen(color, 1));
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                                    kCornerRadius - 0.5);
        }
    };

    Border* border_;
};

}  // namespace

DocumentPreviewView::DocumentPreviewView(DocumentPreview preview, QWidget* parent)
    : QWidget(parent), preview_(std::move(preview)), pages_(new QPdfView) {
    setObjectName(QStringLiteral("documentPreview"));
    pages_->setObjectName(QStringLiteral("previewPages"));
    pages_->setDocument(&preview_.document());
    pages_->setPageMode(QPdfView::PageMode::MultiPage);
    pages_->setZoomMode(QPdfView::ZoomMode::FitToWidth);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    column->addWidget(new PagesFrame(pages_), 1);
    auto* caption = new QLabel(preview_.caption());
    caption->setObjectName(QStringLiteral("previewCaption"));
    caption->setFont(panel::font(kCaptionSize));
    caption->setAlignment(Qt::AlignHCenter);
    panel::setTextColor(caption, panel::secondary(palette()));
    column->addWidget(caption);
}

int DocumentPreviewView::currentPageIndex() const {
    return pages_->pageNavigator()->currentPage();
}

void DocumentPreviewView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (opened_) return;
    opened_ = true;
    // Once the view has its size, so the jump lands on the page's top.
    QTimer::singleShot(0, this, [this] {
        const int index = preview_.page() - 1;
        if (index >= 0 && index < preview_.pageCount()) pages_->pageNavigator()->jump(index, QPointF(), 0);
    });
}

}  // namespace inkwarden
