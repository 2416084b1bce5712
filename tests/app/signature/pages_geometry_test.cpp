#include "signature/pages_layout.hpp"
#include "signature/placed_box.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace inkwarden {
namespace {

constexpr QSizeF a4{595, 842};

TEST(PagesLayoutTest, StacksPagesWithGaps) {
    struct Case {
        const char* name;
        std::vector<QSizeF> sizes;
        double width;
        std::vector<double> tops;
        std::vector<double> heights;
    };
    const Case cases[] = {
        {"TwoA4AtTheirWidth", {a4, a4}, 595, {0, 852}, {842, 842}},
        {"HalfWidthColumn", {a4, a4}, 297.5, {0, 431}, {421, 421}},
        {"LandscapeBetweenPortraits", {a4, {1190, 842}, a4}, 595, {0, 852, 1283}, {842, 421, 842}},
        {"WidthBelowOnePointCountsAsOne", {{0.5, 100}}, 420, {0}, {42000}},
        {"WidthOfExactlyOnePoint", {{1, 3}}, 10, {0}, {30}},
        {"NoPages", {}, 420, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PagesLayout layout(c.sizes, c.width);
        EXPECT_EQ(layout.width, c.width);
        ASSERT_EQ(layout.tops.size(), c.tops.size());
        for (std::size_t i = 0; i < c.tops.size(); ++i) {
            EXPECT_DOUBLE_EQ(layout.tops[i], c.tops[i]) << i;
            EXPECT_DOUBLE_EQ(layout.heights[i], c.heights[i]) << i;
        }
        const double height = c.tops.empty() ? 0 : c.tops.back() + c.heights.back();
        EXPECT_DOUBLE_EQ(layout.height(), height);
    }
}

TEST(PagesLayoutTest, FindsThePageUnderAPoint) {
    PagesLayout layout({a4, a4, a4}, 595);
    struct Case {
        double y;
        std::optional<int> page;
    };
    const Case cases[] = {{-1, std::nullopt}, {0, 0},    {842, 0},  {845, std::nullopt}, {852, 1},
                          {1690, 1},          {1700, std::nullopt},          {1704, 2}, {2546, 2}, {2547, std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(layout.pageAt(c.y), c.page) << c.y;
}

TEST(PagesLayoutTest, DetailLevelStepsOnlyPastItsThresholds) {
    const std::pair<double, double> cases[] = {{1, 1},     {1.2, 1},     {1.2001, 2.5}, {2, 2.5},
                                               {2.5, 2.5}, {2.5001, 5},  {5, 5}};
    for (auto [zoom, detail] : cases) EXPECT_EQ(detailLevel(zoom), detail) << zoom;
}

TEST(PagesLayoutTest, PinchScalesTheZoomItStartedFromWithinOneToFive) {
    PinchZoom pinch;
    EXPECT_DOUBLE_EQ(pinch.changed(2, 1.5), 3);
    // The zoom has moved, but the same pinch still scales its start.
    EXPECT_DOUBLE_EQ(pinch.changed(3, 2), 4);
    EXPECT_DOUBLE_EQ(pinch.changed(4, 3), 5);
    EXPECT_DOUBLE_EQ(pinch.changed(5, 0.2), 1);
    pinch.changed(1, 0.8);
    pinch.ended();
    EXPECT_FALSE(pinch.pinchStart);
    // A second pinch starts from where the first one left the zoom.
    const double left = pinch.changed(3, 1.25);
    EXPECT_DOUBLE_EQ(left, 3.75);
    pinch.ended();
    EXPECT_DOUBLE_EQ(pinch.changed(left, 2), 5);
}

// Items point at their placement; the cases' placements live here for the whole run.
PlacedItem item(double width, double aspect, double baseline, PagePlacement placed) {
    static std::deque<PagePlacement> placements;
    placements.push_back(placed);
    PlacedItem result;
    result.id = "signature";
    result.width = width;
    result.aspect = aspect;
    result.baseline = baseline;
    result.placed = &placements.back();
    return result;
}

void expectRect(const QRectF& actual, const QRectF& expected) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

TEST(PlacedBoxGeometryTest, BoxStandsOnItsLineWithTheRestHangingBelow) {
    const PagesLayout layout({a4, a4}, 595);
    struct Case {
        const char* name;
        PlacedItem item;
        QPointF drag;
        QRectF rect;
    };
    const Case cases[] = {
        // 178.5 wide, 59.5 high, 14.875 below the line at 852 + 421.
        {"SignatureOnSecondPage", item(0.3, 3, 0.75, {1, {0.1, 0.5, 0.42}}), {}, {59.5, 1228.375, 178.5, 59.5}},
        {"StampStandsOnItsBottomEdge", item(0.2, 2, 1, {0, {0.5, 0.25, 0.2}}), {}, {297.5, 210.5 - 59.5, 119, 59.5}},
        {"PagePastTheLastDrawnOnTheLast", item(0.3, 3, 0.75, {7, {0.1, 0.5, 0.42}}), {}, {59.5, 1228.375, 178.5, 59.5}},
        {"DragUnderWayMovesTheBox", item(0.3, 3, 0.75, {1, {0.1, 0.5, 0.42}}), {10, -20}, {69.5, 1208.375, 178.5, 59.5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectRect(boxRect(c.item, layout, c.drag), c.rect);
    }
}

TEST(PlacedBoxGeometryTest, ZoomScalesTheBoxWithTheColumn) {
    const auto placed = item(0.3, 3, 0.75, {1, {0.1, 0.5, 0.42}});
    const QRectF atOne = boxRect(placed, PagesLayout({a4, a4}, 595));
    const QRectF atTwo = boxRect(placed, PagesLayout({a4, a4}, 1190));
    EXPECT_DOUBLE_EQ(atTwo.width(), 2 * atOne.width());
    EXPECT_DOUBLE_EQ(atTwo.x(), 2 * atOne.x());
    // The gap between pages does not scale, so the box keeps its place on its page instead.
    EXPECT_DOUBLE_EQ(atTwo.bottom() - 1694, 2 * (atOne.bottom() - 852));
}

TEST(PlacedBoxGeometryTest, DropFindsThePageAndKeepsTheBoxOnIt) {
    // Four A4 pages at 595: tops 0, 852, 1704, 2556. The box is 119 by 59.5, its line its bottom.
    const PagesLayout layout({a4, a4, a4, a4}, 595);
    const auto onPage = [](int page, double x, double bottom) { return item(0.2, 2, 1, {page, {x, bottom, 0.22}}); };
    // Line of page 2 at bottom 0.5: 1704 + 421 = 2125.
    struct Case {
        const char* name;
        PlacedItem item;
        QPointF translation;
        int page;
        double x;
        double bottom;
    };
    const Case cases[] = {
        {"StaysOnItsPage", onPage(2, 0.5, 0.5), {59.5, 84.2}, 2, 0.6, 0.6},
        // Probe = line - 29.75; 4 above page 3's top: line = 2556 - 4 + 29.75.
        {"ProbeFourPointsAboveAPageCountsAsIt", onPage(2, 0.5, 0.5), {0, 2556 - 4 + 29.75 - 2125}, 3, 0.5, 59.5 / 842},
        {"ProbeSixPointsAboveStaysOnThePageBefore", onPage(2, 0.5, 0.5), {0, 2556 - 6 + 29.75 - 2125}, 2, 0.5, 1},
        {"AboveTheFirstPageLandsOnItBelowItsTop", onPage(0, 0.5, 0.1), {0, -400}, 0, 0.5, 59.5 / 842},
        {"PastTheRightEdgeEndsAtIt", onPage(1, 0.5, 0.5), {400, 0}, 1, 0.8, 0.5},
        {"PastTheLeftEdgeStartsAtIt", onPage(1, 0.5, 0.5), {-400, 0}, 1, 0, 0.5},
        {"WiderThanThePageStartsAtItsLeft", item(1.4, 2, 1, {1, {0.3, 0.9, 1.4}}), {100, 0}, 1, 0, 0.9},
        {"BelowTheLastPageStandsOnItsBottom", onPage(3, 0.5, 0.5), {0, 3000}, 3, 0.5, 1},
        {"IntoTheGapAfterAPageStaysOnIt", onPage(0, 0.5, 0.5), {0, 842 - 421 + 5}, 0, 0.5, 1},
        {"StoredPagePastTheLastMovesFromTheLast", onPage(9, 0.5, 0.5), {0, -852}, 2, 0.5, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto dropped = droppedPlacement(c.item, layout, c.translation);
        EXPECT_EQ(dropped.page, c.page);
        EXPECT_NEAR(dropped.place.x, c.x, 1e-9);
        EXPECT_NEAR(dropped.place.bottom, c.bottom, 1e-9);
        EXPECT_EQ(dropped.place.size, c.item.placed->place.size);
    }
}

TEST(PlacedBoxGeometryTest, ResizeScalesTheStartSizeWithinBounds) {
    struct Case {
        double startSize;
        double startWidth;
        double dx;
        double size;
    };
    const Case cases[] = {
        {0.4, 200, 100, 0.6},   {0.4, 200, -100, 0.2}, {0.4, 200, -150, 0.12},
        {0.4, 200, -1000, 0.12}, {0.4, 200, 0, 0.4},    {1, 100, 500, 3},
        {0.4, 0, 50, 0.4},  // a box with no width cannot be measured against
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(resizedSize(c.startSize, c.startWidth, c.dx), c.size, 1e-12)
            << c.startSize << " " << c.startWidth << " " << c.dx;
    }
}

TEST(PlacedBoxGeometryTest, DoubleClickCentresTheBoxOnThePointWithinThePage) {
    const PagesLayout layout({a4, a4}, 595);
    // 0.3 wide at 595: 178.5 by 59.5.
    struct Case {
        const char* name;
        PlacedItem item;
        QPointF point;
        double x;
        double bottom;
    };
    const Case cases[] = {
        {"Centred", item(0.3, 3, 1, {0, {0.1, 0.8, 0.42}}), {297.5, 421}, 0.35, (421 + 29.75) / 842},
        {"NearTheRightEdge", item(0.3, 3, 1, {0, {0.1, 0.8, 0.42}}), {590, 421}, 0.7, (421 + 29.75) / 842},
        {"NearTheLeftEdge", item(0.3, 3, 1, {0, {0.1, 0.8, 0.42}}), {3, 421}, 0, (421 + 29.75) / 842},
        {"NearTheTop", item(0.3, 3, 1, {0, {0.1, 0.8, 0.42}}), {297.5, 2}, 0.35, 59.5 / 842},
        {"NearTheBottom", item(0.3, 3, 1, {0, {0.1, 0.8, 0.42}}), {297.5, 840}, 0.35, 1},
        {"WiderThanThePage", item(1.2, 3, 1, {0, {0.1, 0.8, 1.2}}), {297.5, 421}, 0, (421 + 119) / 842.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto placed = placementAt(c.item, layout, 1, c.point);
        EXPECT_EQ(placed.page, 1);
        EXPECT_NEAR(placed.place.x, c.x, 1e-9);
        EXPECT_NEAR(placed.place.bottom, c.bottom, 1e-9);
        EXPECT_EQ(placed.place.size, c.item.placed->place.size);
    }
}

}  // namespace
}  // namespace inkwarden
