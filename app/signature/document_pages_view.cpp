#include "signature/document_pages_view.hpp"

#include "signature/page_images.hpp"

#include <QGestureEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPdfDocument>
#include <QPinchGesture>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace inkwarden {
namespace {

constexpr double kBorderOpacity = 0.15;
// Pages are rendered at twice the points they take, times the detail level.
constexpr double kPixelsPerPoint = 2;

}  // namespace

/// The layer inside the scroll area: paints the pages that are exposed and holds the boxes.
class PagesColumn final : public QWidget {
public:
    explicit PagesColumn(DocumentPagesView& view) : QWidget(nullptr), view_(view) {
        setObjectName("pagesColumn");
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        view_.paintPages(painter, event->rect());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) view_.doubleClicked(event->position());
    }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::NativeGesture && view_.handleGesture(event)) return true;
        return QWidget::event(event);
    }

private:
    DocumentPagesView& view_;
};

DocumentPagesView::DocumentPagesView(QPdfDocument& document, std::vector<QSizeF> pageSizes, int firstPage,
                                     std::vector<PlacedItem> items, double zoom, QWidget* parent)
    : QScrollArea(parent),
      document_(document),
      pageSizes_(std::move(pageSizes)),
      firstPage_(firstPage),
      zoom_(std::clamp(zoom, minimumZoom, maximumZoom)),
      layout_(pageSizes_, 0),
      column_(new PagesColumn(*this)) {
    setObjectName("pagesView");
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFrameShape(QFrame::NoFrame);
    setWidget(column_);
    viewport()->grabGesture(Qt::PinchGesture);
    setItems(std::move(items));
    relayout();
}

DocumentPagesView::~DocumentPagesView() = default;

QWidget* DocumentPagesView::column() const { return column_; }

PlacedBox* DocumentPagesView::box(const std::string& id) const {
    for (auto* box : boxes_) {
        if (box->item().id == id) return box;
    }
    return nullptr;
}

double DocumentPagesView::fitWidth() const { return viewport()->width(); }

void DocumentPagesView::setItems(std::vector<PlacedItem> items) {
    items_ = std::move(items);
    std::vector<PlacedBox*> kept;
    for (const auto& item : items_) {
        if (auto* existing = box(item.id)) {
            existing->setItem(item, layout_);
            kept.push_back(existing);
        } else {
            kept.push_back(new PlacedBox(item, layout_, [this, id = item.id] { placed(id); }, column_));
        }
    }
    for (auto* old : boxes_) {
        if (std::find(kept.begin(), kept.end(), old) == kept.end()) {
            old->hide();
            old->deleteLater();
        }
    }
    // Later items lie above earlier ones.
    for (auto* box : kept) box->raise();
    boxes_ = std::move(kept);
}

void DocumentPagesView::placed(const std::string& id) {
    for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setItem(items_[i], layout_);
    Q_EMIT placementChanged(id);
}

void DocumentPagesView::setZoom(double zoom) {
    zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    if (zoom == zoom_) return;
    // Keep the point at the centre of the view where it is on the pages.
    auto* horizontal = horizontalScrollBar();
    auto* vertical = verticalScrollBar();
    const double oldWidth = std::max(1.0, layout_.width);
    const double oldHeight = std::max(1.0, layout_.height());
    const double centreX = (horizontal->value() + viewport()->width() / 2.0) / oldWidth;
    const double centreY = (vertical->value() + viewport()->height() / 2.0) / oldHeight;
    zoom_ = zoom;
    relayout();
    horizontal->setValue(static_cast<int>(std::lround(centreX * layout_.width - viewport()->width() / 2.0)));
    vertical->setValue(static_cast<int>(std::lround(centreY * layout_.height() - viewport()->height() / 2.0)));
    Q_EMIT zoomChanged(zoom_);
}

void DocumentPagesView::relayout() {
    layout_ = PagesLayout(pageSizes_, fitWidth() * zoom_);
    column_->resize(static_cast<int>(std::ceil(layout_.width)), static_cast<int>(std::ceil(layout_.height())));
    for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setItem(items_[i], layout_);
    column_->update();
}

void DocumentPagesView::paintPages(QPainter& painter, const QRect& exposed) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double width = layout_.width;
    const double fit = fitWidth();
    const double detail = detailLevel(zoom_);
    const QPen border(QColor::fromRgbF(0, 0, 0, kBorderOpacity), 1);
    for (std::size_t i = 0; i < layout_.tops.size(); ++i) {
        const QRectF tile(0, layout_.tops[i], width, layout_.heights[i]);
        if (!tile.intersects(exposed)) continue;
        painter.fillRect(tile, Qt::white);
        const int page = static_cast<int>(i);
        if (page < document_.pageCount() && width > 0) {
            const double pixelWidth = kPixelsPerPoint * fit * detail;
            const QSize pixels(static_cast<int>(std::lround(pixelWidth)),
                               static_cast<int>(std::lround(pixelWidth * layout_.heights[i] / width)));
            if (!pixels.isEmpty()) painter.drawImage(tile, PageImages::shared().image(document_, page, detail, pixels));
        }
        painter.setPen(border);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(tile.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void DocumentPagesView::doubleClicked(QPointF at) {
    if (items_.empty()) return;
    const auto page = layout_.pageAt(at.y());
    if (!page) return;
    const QPointF inTile(at.x(), at.y() - layout_.tops[static_cast<std::size_t>(*page)]);
    auto& first = items_.front();
    *first.placed = placementAt(first, layout_, *page, inTile);
    placed(first.id);
}

void DocumentPagesView::centrePage(int page) {
    if (layout_.tops.empty()) return;
    const auto i = static_cast<std::size_t>(std::clamp(page, 0, static_cast<int>(layout_.tops.size()) - 1));
    const double centre = layout_.tops[i] + layout_.heights[i] / 2;
    verticalScrollBar()->setValue(static_cast<int>(std::lround(centre - viewport()->height() / 2.0)));
    horizontalScrollBar()->setValue(static_cast<int>(std::lround((layout_.width - viewport()->width()) / 2.0)));
}

bool DocumentPagesView::handleGesture(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        switch (gesture->gestureType()) {
        case Qt::BeginNativeGesture:
            nativeMagnification_ = 1;
            pinch_.ended();
            break;
        case Qt::ZoomNativeGesture:
            // Each event carries the change since the previous one.
            nativeMagnification_ += gesture->value();
            setZoom(pinch_.changed(zoom_, nativeMagnification_));
            break;
        case Qt::EndNativeGesture:
            pinch_.ended();
            break;
        default:
            return false;
        }
        // Taken here, so it does not travel on to the parents as well.
        gesture->accept();
        return true;
    }
    if (event->type() == QEvent::Gesture) {
        auto* gestures = static_cast<QGestureEvent*>(event);
        auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture));
        if (!pinch) return false;
        if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged) {
            setZoom(pinch_.changed(zoom_, pinch->totalScaleFactor()));
        }
        if (pinch->state() == Qt::GestureFinished || pinch->state() == Qt::GestureCanceled) pinch_.ended();
        gestures->accept(pinch);
        return true;
    }
    return false;
}

bool DocumentPagesView::event(QEvent* event) {
    if ((event->type() == QEvent::NativeGesture || event->type() == QEvent::Gesture) && handleGesture(event)) return true;
    return QScrollArea::event(event);
}

bool DocumentPagesView::viewportEvent(QEvent* event) {
    if ((event->type() == QEvent::NativeGesture || event->type() == QEvent::Gesture) && handleGesture(event)) return true;
    return QScrollArea::viewportEvent(event);
}

void DocumentPagesView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QScrollArea::wheelEvent(event);
        return;
    }
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) setZoom(zoom_ * std::pow(wheelZoomStep, steps));
    event->accept();
}

void DocumentPagesView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

void DocumentPagesView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    if (std::exchange(shownOnce_, true)) return;
    // Once the view has its size, on the next turn of the event loop.
    QTimer::singleShot(0, this, [this] { centrePage(firstPage_); });
}

}  // namespace inkwarden
