#include "signature/document_pages_view.hpp"

#include "signature/page_images.hpp"
#include "app/signature/pdf_pages.hpp"
#include "support/qt_application.hpp"

#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace inkwarden {
namespace {

constexpr QSizeF a4{595, 842};

struct DocumentPagesViewTest : ::testing::Test {
    DocumentPagesViewTest() {
        testing_support::qtApplication();
        PageImages::shared().clear();
    }
    ~DocumentPagesViewTest() override { PageImages::shared().clear(); }

    std::unique_ptr<testing_support::OpenedPdf> pdf;
    std::unique_ptr<DocumentPagesView> view;
    PagePlacement signature{0, {0.12, 0.8, 0.42}};
    int placements = 0;

    PlacedItem signatureItem() {
        PlacedItem item;
        item.id = "signature";
        item.label = "Signature";
        item.aspect = 2.6;
        item.width = signature.place.size * 240 / 460;
        item.placed = &signature;
        return item;
    }

    void open(int pages, int firstPage, bool withBox = true) {
        std::vector<QSizeF> sizes(static_cast<std::size_t>(pages), a4);
        pdf = std::make_unique<testing_support::OpenedPdf>(testing_support::pdfWithPages(sizes));
        ASSERT_EQ(pdf->document.pageCount(), pages);
        std::vector<PlacedItem> items;
        if (withBox) items.push_back(signatureItem());
        view = std::make_unique<DocumentPagesView>(pdf->document, sizes, firstPage, items);
        // As the window does: the box's width follows its size.
        QObject::connect(view.get(), &DocumentPagesView::placementChanged, [this](const std::string& id) {
            EXPECT_EQ(id, "signature");
            ++placements;
            view->setItems({signatureItem()});
        });
        view->resize(420, 600);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        // The first page is centred on the next turn, then painted.
        QCoreApplication::processEvents();
        view->column()->repaint();
    }

    static std::set<int> renderedPages() {
        std::set<int> pages;
        for (const auto& entry : PageImages::shared().entries()) pages.insert(entry.page);
        return pages;
    }

    void wheel(int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(50, 50);
        QWheelEvent event(at, view->viewport()->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &event);
    }

    void sendPinch(Qt::NativeGestureType type, double value) {
        const QPointF at(100, 100);
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                  view->viewport()->mapToGlobal(at), value, {}, {});
        QCoreApplication::sendEvent(view->viewport(), &event);
    }
};

TEST_F(DocumentPagesViewTest, RendersOnlyThePagesInView) {
    open(30, 12);
    const auto rendered = renderedPages();
    ASSERT_FALSE(rendered.empty());
    // 600 points show less than two 575-point pages around the centred page.
    for (int page : rendered) EXPECT_GE(page, 11) << page;
    for (int page : rendered) EXPECT_LE(page, 13) << page;
    EXPECT_TRUE(rendered.count(12));

    const double fit = view->fitWidth();
    const auto& entry = PageImages::shared().entries().front();
    EXPECT_EQ(entry.detail, 1);
    EXPECT_EQ(entry.image.width(), std::lround(2 * fit));

    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->column()->repaint();
    EXPECT_TRUE(renderedPages().count(29));
    EXPECT_LE(renderedPages().size(), 6u);
}

TEST_F(DocumentPagesViewTest, CentresTheFirstPage) {
    open(10, 6);
    const auto& layout = view->layout();
    const double centre = view->verticalScrollBar()->value() + view->viewport()->height() / 2.0;
    EXPECT_NEAR(centre, layout.tops[6] + layout.heights[6] / 2, 1);
}

TEST_F(DocumentPagesViewTest, CtrlWheelZoomsWithinItsRangeAndWidensTheColumn) {
    open(3, 0);
    const double fit = view->fitWidth();
    wheel(120 * 3, Qt::ControlModifier);
    EXPECT_NEAR(view->zoom(), std::pow(DocumentPagesView::wheelZoomStep, 3), 1e-9);
    EXPECT_NEAR(view->layout().width, fit * view->zoom(), 1e-9);
    EXPECT_EQ(view->column()->width(), std::ceil(view->layout().width));
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);

    // Past detail 2.5's threshold the pages in view are rendered again, sharper.
    wheel(120 * 40, Qt::ControlModifier);
    EXPECT_EQ(view->zoom(), 5);
    view->column()->repaint();
    bool sharper = false;
    for (const auto& entry : PageImages::shared().entries()) sharper = sharper || entry.detail == 5;
    EXPECT_TRUE(sharper);

    wheel(-120 * 80, Qt::ControlModifier);
    EXPECT_EQ(view->zoom(), 1);

    // Without Ctrl the wheel scrolls.
    wheel(-120 * 3, {});
    EXPECT_EQ(view->zoom(), 1);
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
}

TEST_F(DocumentPagesViewTest, TouchpadPinchZoomsFromWhereTheLastOneLeftIt) {
    open(3, 0);
    std::vector<double> announced;
    QObject::connect(view.get(), &DocumentPagesView::zoomChanged, [&](double zoom) { announced.push_back(zoom); });
    sendPinch(Qt::BeginNativeGesture, 0);
    sendPinch(Qt::ZoomNativeGesture, 0.5);
    EXPECT_DOUBLE_EQ(view->zoom(), 1.5);
    sendPinch(Qt::ZoomNativeGesture, 0.5);
    EXPECT_DOUBLE_EQ(view->zoom(), 2);
    sendPinch(Qt::ZoomNativeGesture, 9);
    EXPECT_DOUBLE_EQ(view->zoom(), 5);
    sendPinch(Qt::EndNativeGesture, 0);

    sendPinch(Qt::BeginNativeGesture, 0);
    sendPinch(Qt::ZoomNativeGesture, -0.5);
    EXPECT_DOUBLE_EQ(view->zoom(), 2.5);
    sendPinch(Qt::ZoomNativeGesture, -0.45);
    EXPECT_DOUBLE_EQ(view->zoom(), 1);
    sendPinch(Qt::EndNativeGesture, 0);
    EXPECT_EQ(announced, (std::vector<double>{1.5, 2, 5, 2.5, 1}));
}

TEST_F(DocumentPagesViewTest, DoubleClickBringsTheSignatureToThePoint) {
    open(3, 1);
    const auto& layout = view->layout();
    const QPointF onPage(layout.width / 2, layout.tops[1] + layout.heights[1] / 2);
    QTest::mouseDClick(view->column(), Qt::LeftButton, {}, onPage.toPoint());
    EXPECT_EQ(signature.page, 1);
    EXPECT_NEAR(signature.place.x, 0.5 - signatureItem().width / 2, 0.01);
    const QRectF box = view->box("signature")->geometry();
    EXPECT_NEAR(box.center().x(), onPage.x(), 2);

    // In the gap between two pages nothing moves.
    const auto before = signature;
    QTest::mouseDClick(view->column(), Qt::LeftButton, {}, QPoint(50, static_cast<int>(layout.tops[2] - 5)));
    EXPECT_EQ(signature, before);
}

TEST_F(DocumentPagesViewTest, DoubleClickWithoutBoxesChangesNothing) {
    open(2, 0, false);
    const auto& layout = view->layout();
    QTest::mouseDClick(view->column(), Qt::LeftButton, {}, QPoint(100, static_cast<int>(layout.tops[1] + 100)));
    EXPECT_EQ(placements, 0);
    EXPECT_EQ(view->box("signature"), nullptr);
}

TEST_F(DocumentPagesViewTest, DraggingTheBoxMovesItOntoTheNextPage) {
    open(3, 0);
    auto* box = view->box("signature");
    ASSERT_NE(box, nullptr);
    const QRectF before = box->geometry();
    const QPoint grip = box->boxArea().center().toPoint();
    const double step = view->layout().tops[1];

    QTest::mousePress(box, Qt::LeftButton, {}, grip);
    // Less than the move distance: the box stays put.
    QTest::mouseMove(box, grip + QPoint(3, 3));
    EXPECT_EQ(box->geometry(), before.toAlignedRect());
    QTest::mouseMove(box, grip + QPoint(20, static_cast<int>(step)));
    // The box follows the pointer; nothing is stored yet.
    EXPECT_NEAR(box->geometry().top(), before.top() + step, 1);
    EXPECT_EQ(placements, 0);
    QTest::mouseRelease(box, Qt::LeftButton, {}, grip);

    ASSERT_EQ(placements, 1);
    EXPECT_EQ(signature.page, 1);
    EXPECT_NEAR(signature.place.x, 0.12 + 20 / view->layout().width, 1e-9);
    // Moved by one page and its gap: the same line on the next page.
    EXPECT_NEAR(signature.place.bottom, 0.8, 2.0 / view->layout().heights[1]);
    EXPECT_NEAR(box->geometry().top(), before.top() + step, 2);
}

TEST_F(DocumentPagesViewTest, DraggingTheHandleResizesFromTheStartSize) {
    open(1, 0);
    auto* box = view->box("signature");
    const double startWidth = box->boxArea().width();
    const QPoint handle = box->handleArea().center().toPoint();
    QTest::mousePress(box, Qt::LeftButton, {}, handle);
    QTest::mouseMove(box, handle + QPoint(static_cast<int>(std::lround(startWidth / 2)), 0));
    EXPECT_NEAR(signature.place.size, 0.42 * (1 + std::lround(startWidth / 2) / startWidth), 1e-9);
    // The line and left edge stay; the box grows to the right.
    EXPECT_EQ(signature.place.x, 0.12);
    EXPECT_EQ(signature.place.bottom, 0.8);
    EXPECT_NEAR(box->boxArea().width(), startWidth * signature.place.size / 0.42, 1e-6);
    QTest::mouseMove(box, handle - QPoint(static_cast<int>(startWidth), 0));
    EXPECT_NEAR(signature.place.size, 0.42 * 0.3, 1e-9);
    QTest::mouseRelease(box, Qt::LeftButton, {}, handle);
    EXPECT_EQ(signature.page, 0);
}

}  // namespace
}  // namespace inkwarden
