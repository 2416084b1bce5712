#include "signature/signature_ink.hpp"

#include "support/qt_application.hpp"

#include <QColorSpace>
#include <QFontMetricsF>
#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace inkwarden {
namespace {

// A path element as text, with each quadratic curve written as the cubic Qt stores it, so the
// expectations below can be written as the quadratic chain they mean.
std::vector<std::string> elements(const QPainterPath& path) {
    std::vector<std::string> out;
    auto point = [](double x, double y) {
        char text[64];
        std::snprintf(text, sizeof text, "(%.3f,%.3f)", x, y);
        return std::string(text);
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto e = path.elementAt(i);
        if (e.isMoveTo()) out.push_back("M" + point(e.x, e.y));
        if (e.isLineTo()) out.push_back("L" + point(e.x, e.y));
        if (e.isCurveTo()) {
            const auto a = path.elementAt(i + 1);
            const auto b = path.elementAt(i + 2);
            out.push_back("C" + point(e.x, e.y) + point(a.x, a.y) + point(b.x, b.y));
            i += 2;
        }
    }
    return out;
}

std::vector<std::string> quad(QPointF from, QPointF control, QPointF to) {
    QPainterPath path(from);
    path.quadTo(control, to);
    auto out = elements(path);
    out.erase(out.begin());
    return out;
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<std::string> text(std::initializer_list<std::string> items) { return items; }

QImage decoded(const SignaturePNG& png) {
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(png.data.data()), static_cast<int>(png.data.size()), "PNG");
    return image;
}

int alphaAt(const QImage& image, double padX, double padY, QPointF canvasOrigin) {
    const int x = static_cast<int>((padX - canvasOrigin.x()) * 3);
    const int y = static_cast<int>((padY - canvasOrigin.y()) * 3);
    return qAlpha(image.pixel(x, y));
}

class SignatureInkTest : public testing::Test {
protected:
    SignatureInkTest() { testing_support::qtApplication(); }
};

TEST_F(SignatureInkTest, PathIsTheMidpointChainOfEachStroke) {
    const QPointF a(10, 10), b(110, 60), c(150, 20);
    struct Case {
        const char* name;
        Strokes strokes;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"no strokes", {}, {}},
        {"only empty strokes", {{}, {}}, {}},
        {"one point is a dash for the round cap", {{a}}, text({"M(10.000,10.000)", "L(10.010,10.000)"})},
        {"two points", {{a, b}}, concat({text({"M(10.000,10.000)"}), quad(a, a, {60, 35}), text({"L(110.000,60.000)"})})},
        {"three points bend at the middle sample",
         {{a, b, c}},
         concat({text({"M(10.000,10.000)"}), quad(a, a, {60, 35}), quad({60, 35}, b, {130, 40}),
                 text({"L(150.000,20.000)"})})},
        {"empty strokes between others are skipped",
         {{}, {a}, {}, {c}},
         text({"M(10.000,10.000)", "L(10.010,10.000)", "M(150.000,20.000)", "L(150.010,20.000)"})},
    };
    for (const auto& test : cases) EXPECT_EQ(elements(SignatureInk::path(test.strokes)), test.expected) << test.name;
}

TEST_F(SignatureInkTest, NothingToDrawGivesNoImage) {
    EXPECT_FALSE(SignatureInk::png({}, QStringLiteral("A")));
    EXPECT_FALSE(SignatureInk::png({{}, {}}));
    EXPECT_FALSE(SignatureInk::png({{}}, QStringLiteral("Jane Doe")));
}

TEST_F(SignatureInkTest, ImageSizeAndBaselineFollowTheInk) {
    struct Case {
        const char* name;
        Strokes strokes;
        std::optional<QString> caption;
        QSize size;
        double baseline;
    };
    const std::vector<Case> cases = {
        // The click's box is 0.01 x 0: the canvas is 20.01 x 20, and 60.03 rounds up.
        {"single click", {{{200, 100}}}, std::nullopt, {61, 60}, 0.5},
        {"straight stroke", {{{10, 10}, {110, 60}}}, std::nullopt, {360, 210}, 60.0 / 70.0},
        {"far from the origin", {{{1010, 2010}, {1110, 2060}}}, std::nullopt, {360, 210}, 60.0 / 70.0},
        {"empty caption is no caption", {{{10, 10}, {110, 60}}}, QString(), {360, 210}, 60.0 / 70.0},
        {"empty strokes around ink", {{}, {{10, 10}, {110, 60}}, {}}, std::nullopt, {360, 210}, 60.0 / 70.0},
    };
    for (const auto& test : cases) {
        const auto png = SignatureInk::png(test.strokes, test.caption);
        ASSERT_TRUE(png) << test.name;
        EXPECT_EQ(png->pixelSize, test.size) << test.name;
        EXPECT_DOUBLE_EQ(png->baseline, test.baseline) << test.name;
        EXPECT_EQ(decoded(*png).size(), test.size) << test.name;
    }
}

TEST_F(SignatureInkTest, InkIsBlackInsideAndTransparentAround) {
    const auto png = SignatureInk::png({{{10, 10}, {110, 60}}});
    ASSERT_TRUE(png);
    const auto image = decoded(*png);
    EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
    ASSERT_TRUE(image.hasAlphaChannel());
    const QPointF origin(0, 0);
    // On the line (it passes through the midpoint (60, 35)) and at both ends.
    for (const QPointF& on : {QPointF(60, 35), QPointF(85, 47.5), QPointF(10.2, 10.2), QPointF(109.8, 59.8)}) {
        const auto pixel = image.pixel(static_cast<int>((on.x() - origin.x()) * 3), static_cast<int>(on.y() * 3));
        EXPECT_EQ(qAlpha(pixel), 255) << on.x() << "," << on.y();
        EXPECT_EQ(qRed(pixel) + qGreen(pixel) + qBlue(pixel), 0) << on.x() << "," << on.y();
    }
    // Off the line by more than half the pen width, and the margins.
    for (const QPointF& off : {QPointF(60, 40), QPointF(60, 30), QPointF(2, 2), QPointF(118, 68), QPointF(110, 10),
                               QPointF(10, 60)})
        EXPECT_EQ(alphaAt(image, off.x(), off.y(), origin), 0) << off.x() << "," << off.y();
}

TEST_F(SignatureInkTest, ClickDrawsARoundDotOfThePenWidth) {
    const auto png = SignatureInk::png({{{200, 100}}});
    ASSERT_TRUE(png);
    const auto image = decoded(*png);
    // The dot is centred on the click, 2.4 points (7.2 pixels) across.
    const QPointF origin(190, 90);
    EXPECT_EQ(alphaAt(image, 200, 100, origin), 255);
    EXPECT_EQ(alphaAt(image, 200, 99.4, origin), 255);
    EXPECT_EQ(alphaAt(image, 200, 98.2, origin), 0);
    EXPECT_EQ(alphaAt(image, 201.8, 100, origin), 0);
    EXPECT_EQ(alphaAt(image, 198.2, 100, origin), 0);
}

TEST_F(SignatureInkTest, TranslatedStrokesGiveTheSameImage) {
    const Strokes near = {{{10, 10}, {40, 30}, {70, 5}}, {{20, 40}}};
    Strokes far = near;
    for (auto& stroke : far)
        for (auto& point : stroke) point += QPointF(900, 700);
    const auto a = SignatureInk::png(near);
    const auto b = SignatureInk::png(far);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(decoded(*a), decoded(*b));
}

TEST_F(SignatureInkTest, CaptionHangsBelowTheInkAndWidensToTheRight) {
    const Strokes stroke = {{{10, 10}, {40, 30}}};
    const QString caption = QStringLiteral("Jane Doe, Managing Director\nExample Works Ltd");
    const auto plain = SignatureInk::png(stroke);
    const auto captioned = SignatureInk::png(stroke, caption);
    ASSERT_TRUE(plain && captioned);

    const QSizeF text = QFontMetricsF(SignatureInk::captionFont()).size(0, caption);
    ASSERT_GT(text.width(), 30);
    // The canvas runs from the ink's padded top-left to the caption's padded bottom-right.
    const double width = std::max(30.0 + 20, text.width() + 20);
    const double height = 20 + 8 + text.height() + 10 + 10;
    EXPECT_EQ(captioned->pixelSize, QSize(static_cast<int>(std::ceil(width * 3)), static_cast<int>(std::ceil(height * 3))));
    EXPECT_DOUBLE_EQ(captioned->baseline, 30.0 / height);
    EXPECT_LT(captioned->baseline, plain->baseline);

    // The ink keeps its place: the same pixels at the top-left as without a caption.
    const auto withText = decoded(*captioned).copy(0, 0, plain->pixelSize.width(), plain->pixelSize.height());
    EXPECT_EQ(withText.convertToFormat(QImage::Format_ARGB32),
              decoded(*plain).convertToFormat(QImage::Format_ARGB32));

    // Some glyph ink lies in the caption's box, nothing above it beside the ink.
    const auto image = decoded(*captioned);
    int glyphPixels = 0;
    for (int y = static_cast<int>((30 + 8) * 3); y < static_cast<int>((30 + 8 + text.height()) * 3); ++y)
        for (int x = 0; x < image.width(); ++x) glyphPixels += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(glyphPixels, 50);
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 5, 5)), 0);
}

TEST_F(SignatureInkTest, PointsOutsideTheAreaAreDroppedAndSplitTheStroke) {
    const QRectF pad(0, 0, 460, 260);
    struct Sample {
        QPointF point;
        bool continuing;
    };
    struct Case {
        const char* name;
        std::vector<Sample> samples;
        Strokes expected;
    };
    const std::vector<Case> cases = {
        {"all inside", {{{1, 1}, false}, {{2, 2}, true}, {{3, 3}, true}}, {{{1, 1}, {2, 2}, {3, 3}}}},
        {"edges count as inside", {{{0, 0}, false}, {{460, 260}, true}}, {{{0, 0}, {460, 260}}}},
        {"leaves and comes back",
         {{{10, 10}, false}, {{20, 10}, true}, {{-5, 10}, true}, {{470, 10}, true}, {{30, 30}, true}, {{40, 30}, true}},
         {{{10, 10}, {20, 10}}, {{30, 30}, {40, 30}}}},
        {"leaves for good", {{{10, 10}, false}, {{10, 300}, true}, {{10, 400}, true}}, {{{10, 10}}}},
        {"starts outside", {{{-1, 10}, false}, {{5, 10}, true}}, {{{5, 10}}}},
        {"a new stroke after a lifted pen",
         {{{10, 10}, false}, {{10, -1}, true}, {{50, 50}, false}},
         {{{10, 10}}, {{50, 50}}}},
    };
    for (const auto& test : cases) {
        Strokes strokes;
        for (const auto& sample : test.samples) SignatureInk::addPoint(strokes, sample.point, sample.continuing, pad);
        SignatureInk::trimLifted(strokes);
        EXPECT_EQ(strokes, test.expected) << test.name;
    }
}

TEST_F(SignatureInkTest, ClippedStrokeBoundsTheImage) {
    // A stroke that wanders far off the pad yields an image no larger than the pad and its margin.
    const QRectF pad(0, 0, 460, 260);
    Strokes strokes;
    SignatureInk::addPoint(strokes, {20, 20}, false, pad);
    SignatureInk::addPoint(strokes, {440, 240}, true, pad);
    SignatureInk::addPoint(strokes, {20000, 9000}, true, pad);
    SignatureInk::addPoint(strokes, {-4000, 100}, true, pad);
    SignatureInk::addPoint(strokes, {30, 200}, true, pad);
    SignatureInk::trimLifted(strokes);
    const auto png = SignatureInk::png(strokes);
    ASSERT_TRUE(png);
    EXPECT_LE(png->pixelSize.width(), (460 + 20) * 3);
    EXPECT_LE(png->pixelSize.height(), (260 + 20) * 3);
}

}  // namespace
}  // namespace inkwarden
