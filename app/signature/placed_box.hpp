#pragma once

#include "signature/pages_layout.hpp"
#include "signature/signing_model.hpp"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

namespace inkwarden {

/// The box's rectangle in column points, moved by a drag under way. Needs at least one page.
QRectF boxRect(const PlacedItem& item, const PagesLayout& layout, QPointF drag = {});

/// Where a box lands when a move by `translation` ends: on the page its centre line reaches,
/// kept inside that page. Needs at least one page.
PagePlacement droppedPlacement(const PlacedItem& item, const PagesLayout& layout, QPointF translation);

/// The size after dragging the handle `dx` points right from a box `startWidth` points wide whose
/// size was `startSize`: at least 0.3 of the start size, at most 3.
double resizedSize(double startSize, double startWidth, double dx);

/// The placement that centres the box on `point`, in the coordinates of page `page`'s tile,
/// kept inside the page.
PagePlacement placementAt(const PlacedItem& item, const PagesLayout& layout, int page, QPointF point);

/// The drawn box: the item's image or label on a tinted, dashed rectangle with a round resize
/// handle straddling its top-right corner. Dragging the box moves it, dragging the handle resizes
/// it; both write the item's placement and then call `changed`. Lives in the pages view's column.
class PlacedBox final : public QWidget {
    Q_OBJECT
public:
    /// How far the handle reaches past the box's top and right edges.
    static constexpr int handleReach = 4;
    static constexpr double handleDiameter = 9;
    /// How far the pointer must travel before a press on the box becomes a move.
    static constexpr double moveDistance = 10;

    /// `item.placed` must not be null.
    PlacedBox(PlacedItem item, const PagesLayout& layout, std::function<void()> changed, QWidget* column);

    const PlacedItem& item() const { return item_; }
    void setItem(PlacedItem item, const PagesLayout& layout);

    /// The box itself in the widget's coordinates (the widget also holds the handle's reach).
    QRectF boxArea() const;
    /// The handle's circle in the widget's coordinates.
    QRectF handleArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct ResizeStart {
        double size;
        double width;
    };
    enum class Press { none, move, resize };

    void placeWidget();
    void write(const PagePlacement& placement);

    PlacedItem item_;
    PagesLayout layout_;
    std::function<void()> changed_;
    Press press_ = Press::none;
    QPointF pressAt_;
    bool moving_ = false;
    QPointF drag_;
    std::optional<ResizeStart> resizeStart_;
};

}  // namespace inkwarden
