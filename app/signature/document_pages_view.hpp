#pragma once

#include "signature/pages_layout.hpp"
#include "signature/placed_box.hpp"

#include <QScrollArea>

#include <string>
#include <vector>

class QPdfDocument;

namespace inkwarden {

class PagesColumn;

/// Every page of one document in a column that scrolls both ways, with the signature and stamp
/// boxes over the pages. Pages are rendered only when they come into view, through the shared
/// `PageImages`. Ctrl+wheel zooms everywhere; a touchpad pinch zooms where the desktop delivers
/// it. A double click on a page brings the first box (the signature) there. Main thread only.
class DocumentPagesView final : public QScrollArea {
    Q_OBJECT
public:
    /// `document` must outlive the view; `pageSizes` are the pages' displayed sizes in points;
    /// `firstPage` (from 0) is centred once the view is on screen.
    DocumentPagesView(QPdfDocument& document, std::vector<QSizeF> pageSizes, int firstPage, std::vector<PlacedItem> items,
                      double zoom = 1, QWidget* parent = nullptr);
    ~DocumentPagesView() override;

    /// Replaces the boxes; a box whose id stays keeps its widget, so a drag under way goes on.
    /// Every item's `placed` must stay valid while it is shown.
    void setItems(std::vector<PlacedItem> items);
    const std::vector<PlacedItem>& items() const { return items_; }

    double zoom() const { return zoom_; }
    /// Clamped to the zoom range; the centre of what is shown stays in view.
    void setZoom(double zoom);

    /// The view's own width, which a zoom of 1 fills.
    double fitWidth() const;
    const PagesLayout& layout() const { return layout_; }
    QWidget* column() const;
    PlacedBox* box(const std::string& id) const;

    /// Each step of the wheel with Ctrl held scales the zoom by this.
    static constexpr double wheelZoomStep = 1.1;

Q_SIGNALS:
    void zoomChanged(double zoom);
    /// A box was moved or resized: its item's placement holds the new place.
    void placementChanged(const std::string& id);

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class PagesColumn;

    void relayout();
    void placed(const std::string& id);
    bool handleGesture(QEvent* event);
    void centrePage(int page);
    void doubleClicked(QPointF at);
    void paintPages(QPainter& painter, const QRect& exposed);

    QPdfDocument& document_;
    std::vector<QSizeF> pageSizes_;
    int firstPage_;
    std::vector<PlacedItem> items_;
    double zoom_;
    PagesLayout layout_;
    PinchZoom pinch_;
    double nativeMagnification_ = 1;
    bool shownOnce_ = false;
    PagesColumn* column_;
    std::vector<PlacedBox*> boxes_;
};

}  // namespace inkwarden
