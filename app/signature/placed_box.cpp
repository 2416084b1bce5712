#include "signature/placed_box.hpp"

#include "ui/panel_style.hpp"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace inkwarden {
namespace {

constexpr double kProbeSlack = 5;
constexpr double kMinimumGrowth = 0.3;
constexpr double kLargestSize = 3;
constexpr double kFillOpacity = 0.06;
constexpr double kLabelPointSize = 10;
// The handle answers a little outside its circle: it is small.
constexpr double kHandleSlack = 3;

std::size_t drawnPage(const PlacedItem& item, const PagesLayout& layout) {
    const auto last = static_cast<int>(layout.tops.size()) - 1;
    return static_cast<std::size_t>(std::clamp(item.placed->page, 0, std::max(0, last)));
}

double boxHeight(const PlacedItem& item, const PagesLayout& layout) {
    return item.width * layout.width / item.aspect;
}

double lineY(const PlacedItem& item, const PagesLayout& layout) {
    const auto i = drawnPage(item, layout);
    return layout.tops[i] + layout.heights[i] * item.placed->place.bottom;
}

// The lowest a box's line may stand so that the box stays below the page's top; at most 1.
double bottomWithin(double line, double boxHeight, double pageHeight) {
    if (pageHeight <= 0) return 1;
    return std::min(1.0, std::max(boxHeight / pageHeight, line / pageHeight));
}

}  // namespace

QRectF boxRect(const PlacedItem& item, const PagesLayout& layout, QPointF drag) {
    const double width = item.width * layout.width;
    const double height = width / item.aspect;
    const double below = (1 - item.baseline) * height;
    const double left = item.placed->place.x * layout.width + drag.x();
    const double top = lineY(item, layout) + below - height + drag.y();
    return {left, top, width, height};
}

PagePlacement droppedPlacement(const PlacedItem& item, const PagesLayout& layout, QPointF translation) {
    const double height = boxHeight(item, layout);
    const double newLine = lineY(item, layout) + translation.y();
    const double probe = newLine - height / 2;

    std::size_t target = 0;
    for (std::size_t page = 0; page < layout.tops.size(); ++page) {
        if (layout.tops[page] - kProbeSlack <= probe) target = page;
    }
    const auto& place = item.placed->place;
    const double x = std::min(std::max(0.0, 1 - item.width), std::max(0.0, place.x + translation.x() / layout.width));
    const double bottom = bottomWithin(newLine - layout.tops[target], height, layout.heights[target]);
    return {static_cast<int>(target), {x, bottom, place.size}};
}

double resizedSize(double startSize, double startWidth, double dx) {
    if (startWidth <= 0) return startSize;
    return std::min(kLargestSize, std::max(kMinimumGrowth, (dx + startWidth) / startWidth) * startSize);
}

PagePlacement placementAt(const PlacedItem& item, const PagesLayout& layout, int page, QPointF point) {
    const double height = boxHeight(item, layout);
    const double pageHeight = layout.heights[static_cast<std::size_t>(page)];
    // Like a drop: a box at least as wide as the page starts at its left edge, not left of it.
    const double x = std::min(std::max(0.0, 1 - item.width), std::max(0.0, point.x() / layout.width - item.width / 2));
    const double bottom = bottomWithin(point.y() + height / 2, height, pageHeight);
    return {page, {x, bottom, item.placed->place.size}};
}

PlacedBox::PlacedBox(PlacedItem item, const PagesLayout& layout, std::function<void()> changed, QWidget* column)
    : QWidget(column), item_(std::move(item)), layout_(layout), changed_(std::move(changed)) {
    setObjectName(QString::fromStdString(item_.id) + "Box");
    setToolTip(tr("Drag to move"));
    setCursor(Qt::OpenHandCursor);
    placeWidget();
}

void PlacedBox::setItem(PlacedItem item, const PagesLayout& layout) {
    item_ = std::move(item);
    layout_ = layout;
    placeWidget();
    QWidget::update();
}

QRectF PlacedBox::boxArea() const {
    return boxRect(item_, layout_, drag_).translated(-QPointF(pos()));
}

QRectF PlacedBox::handleArea() const {
    const QRectF box = boxArea();
    const double reach = handleReach;
    return {box.right() + reach - handleDiameter, box.top() - reach, handleDiameter, handleDiameter};
}

void PlacedBox::placeWidget() {
    if (layout_.tops.empty()) {
        hide();
        return;
    }
    const QRectF box = boxRect(item_, layout_, drag_);
    const QRectF reach(box.left(), box.top() - handleReach, box.width() + handleReach, box.height() + handleReach);
    setGeometry(reach.toAlignedRect());
    show();
}

void PlacedBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QColor tint = panel::accent(palette());
    const QRectF box = boxArea();

    QColor fill = tint;
    fill.setAlphaF(kFillOpacity);
    painter.fillRect(box, fill);

    if (!item_.image.isNull()) {
        painter.drawImage(box, item_.image);
    } else {
        QFont font = painter.font();
        font.setPointSizeF(kLabelPointSize);
        painter.setFont(font);
        painter.setPen(tint);
        painter.drawText(box, Qt::AlignCenter, item_.label);
    }

    QPen border(tint, 1);
    border.setDashPattern({4, 3});
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));

    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawEllipse(handleArea());
}

void PlacedBox::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QRectF handle = handleArea().adjusted(-kHandleSlack, -kHandleSlack, kHandleSlack, kHandleSlack);
    if (handle.contains(at)) {
        press_ = Press::resize;
    } else if (boxArea().contains(at)) {
        press_ = Press::move;
    } else {
        // The handle's reach around the box belongs to the page below.
        event->ignore();
        return;
    }
    pressAt_ = event->globalPosition();
    moving_ = false;
    event->accept();
}

void PlacedBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF translation = event->globalPosition() - pressAt_;
    switch (press_) {
    case Press::none:
        return;
    case Press::move:
        if (!moving_ && std::hypot(translation.x(), translation.y()) < moveDistance) return;
        moving_ = true;
        setCursor(Qt::ClosedHandCursor);
        drag_ = translation;
        placeWidget();
        return;
    case Press::resize: {
        if (!resizeStart_) resizeStart_ = ResizeStart{item_.placed->place.size, item_.width * layout_.width};
        PagePlacement resized = *item_.placed;
        resized.place.size = resizedSize(resizeStart_->size, resizeStart_->width, translation.x());
        write(resized);
        return;
    }
    }
}

void PlacedBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const Press press = std::exchange(press_, Press::none);
    resizeStart_.reset();
    if (press != Press::move || !std::exchange(moving_, false)) return;
    setCursor(Qt::OpenHandCursor);
    const PagePlacement dropped = droppedPlacement(item_, layout_, drag_);
    drag_ = {};
    placeWidget();
    write(dropped);
}

void PlacedBox::write(const PagePlacement& placement) {
    *item_.placed = placement;
    if (changed_) changed_();
}

}  // namespace inkwarden
