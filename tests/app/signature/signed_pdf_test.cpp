#include "signature/signed_pdf.hpp"

#include "pdf_fixtures.hpp"
#include "support/qt_application.hpp"

#include <gtest/gtest.h>

#include <QRect>

#include <algorithm>

namespace inkwarden {
namespace {

using testing::FixturePage;
using testing::isBlack;
using testing::isWhite;
using testing::isRed;
using testing::isBlue;
using testing::isGreen;
using testing::makePdf;
using testing::pixelAt;
using testing::RenderedPdf;
using testing::solidImage;


struct SignedPdfTest : ::testing::Test {
    QApplication& app = testing_support::qtApplication();
};

TEST_F(SignedPdfTest, EveryPageBecomesUprightAtItsMediaBoxSizeWithItsTextKept) {
    struct Case {
        const char* name;
        FixturePage page;
        QSizeF size;
        QRect marker;  // where the own-space rectangle (llx, lly, 100, 50) ends up
        double userUnit = 1;
    };
    auto page = [](double width, double height, std::optional<double> rotate = std::nullopt) {
        FixturePage p;
        p.width = width, p.height = height, p.rotate = rotate;
        p.text = "Hello Sign";
        p.marker = {{0, 0, 100, 50}};
        return p;
    };
    auto offset = page(595, 842);
    offset.llx = 50, offset.lly = 60, offset.marker = {{50, 60, 100, 50}}, offset.textAt = {150, 760};
    auto cropped = page(595, 842);
    cropped.cropBox = {{200, 200, 400, 400}};
    auto doubled = page(595, 842);
    doubled.userUnit = 2;
    const Case cases[] = {
        {"Upright", page(595, 842), {595, 842}, {0, 0, 100, 50}},
        {"Rotated90", page(842, 595, 90), {595, 842}, {0, 742, 50, 100}},
        {"Rotated270", page(842, 595, 270), {595, 842}, {545, 0, 50, 100}},
        {"RotatedMinus90", page(842, 595, -90), {595, 842}, {545, 0, 50, 100}},
        {"Rotated450", page(842, 595, 450), {595, 842}, {0, 742, 50, 100}},
        {"Rotated180", page(595, 842, 180), {595, 842}, {495, 792, 100, 50}},
        {"MediaBoxNotAtOrigin", offset, {595, 842}, {0, 0, 100, 50}},
        {"CropBoxSmallerThanMediaBox", cropped, {595, 842}, {0, 0, 100, 50}},
        {"UserUnit2", doubled, {595, 842}, {0, 0, 100, 50}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto source = makePdf({c.page});
        auto out = SignedPDF::write(source, {});
        ASSERT_TRUE(out);

        testing::PdfStructure structure(*out);
        ASSERT_EQ(structure.pages.size(), 1u);
        auto dictionary = structure.pages[0].getObjectHandle();
        auto box = dictionary.getKey("/MediaBox").getArrayAsRectangle();
        EXPECT_EQ(std::vector<double>({box.llx, box.lly, box.urx, box.ury}),
                  std::vector<double>({0, 0, c.size.width(), c.size.height()}));
        EXPECT_FALSE(dictionary.hasKey("/Rotate"));
        EXPECT_FALSE(dictionary.hasKey("/CropBox"));
        auto unit = dictionary.getKey("/UserUnit");
        EXPECT_EQ(unit.isNumber() ? unit.getNumericValue() : 1.0, c.userUnit);

        RenderedPdf rendered(*out);
        ASSERT_TRUE(rendered.ready());
        EXPECT_EQ(rendered.pageSize(0), c.size);
        auto image = rendered.render(0);
        const QRect& m = c.marker;
        EXPECT_TRUE(isBlack(pixelAt(image, m.x() + m.width() / 2.0, m.y() + m.height() / 2.0)));
        EXPECT_TRUE(isBlack(pixelAt(image, m.x() + 2, m.y() + 2)));
        EXPECT_TRUE(isBlack(pixelAt(image, m.right() - 2, m.bottom() - 2)));
        EXPECT_TRUE(isWhite(pixelAt(image, m.x() - 3 < 0 ? m.right() + 3 : m.x() - 3, m.y() + m.height() / 2.0)));
        EXPECT_TRUE(isWhite(pixelAt(image, m.x() + m.width() / 2.0, m.y() - 3 < 0 ? m.bottom() + 3 : m.y() - 3)));
        EXPECT_TRUE(rendered.text(0).contains("Hello Sign")) << "text must stay text";
    }
}

TEST_F(SignedPdfTest, OverlaysAreDrawnInListOrderInsideTheirRects) {
    FixturePage page;
    auto source = makePdf({page, page});
    // The second image's left half is see-through, so what lies under it shows.
    QImage halfClear = solidImage(20, 10, Qt::blue);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) halfClear.setPixelColor(x, y, Qt::transparent);
    auto out = SignedPDF::write(source, {
                                            {1, solidImage(30, 12, Qt::red), QRectF(100, 100, 200, 80)},
                                            {1, halfClear, QRectF(50, 120, 400, 80)},
                                            {5, solidImage(4, 4, Qt::red), QRectF(0, 0, 595, 842)},
                                            {-1, solidImage(4, 4, Qt::red), QRectF(0, 0, 595, 842)},
                                        });
    ASSERT_TRUE(out);
    RenderedPdf rendered(*out);
    ASSERT_EQ(rendered.pageCount(), 2);
    auto first = rendered.render(0);
    EXPECT_TRUE(isWhite(pixelAt(first, 150, 140))) << "an overlay went onto another page";
    auto image = rendered.render(1);
    EXPECT_TRUE(isRed(pixelAt(image, 105, 105)));
    EXPECT_TRUE(isRed(pixelAt(image, 200, 150))) << "the clear half must show the red below";
    EXPECT_TRUE(isBlue(pixelAt(image, 260, 150))) << "the later overlay goes on top";
    EXPECT_TRUE(isBlue(pixelAt(image, 440, 190)));
    EXPECT_TRUE(isWhite(pixelAt(image, 60, 150))) << "a clear part over the page shows the page";
    for (auto [x, y] : {std::pair{97.0, 105.0}, {105.0, 97.0}, {303.0, 105.0}, {200.0, 203.0}, {453.0, 150.0}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_TRUE(isWhite(pixelAt(image, x, y))) << "ink outside its rect";
    }
}

TEST_F(SignedPdfTest, FieldsAndAnnotationsAreFlattenedAndNothingInteractiveOrDescriptiveRemains) {
    FixturePage page;
    page.field = {{300, 300, 100, 40}};
    page.annotation = {{300, 400, 100, 40}};
    auto out = SignedPDF::write(makePdf({page}), {});
    ASSERT_TRUE(out);
    testing::PdfStructure structure(*out);
    EXPECT_FALSE(structure.pages.at(0).getObjectHandle().hasKey("/Annots"));
    EXPECT_FALSE(structure.pdf.getRoot().hasKey("/AcroForm"));
    EXPECT_FALSE(structure.pdf.getTrailer().hasKey("/Info"));
    RenderedPdf rendered(*out);
    auto image = rendered.render(0);
    EXPECT_TRUE(isGreen(pixelAt(image, 350, 320))) << "the field's appearance must be page content";
    EXPECT_TRUE(isBlue(pixelAt(image, 350, 420))) << "the annotation's appearance must be page content";
}

TEST_F(SignedPdfTest, LayersOffByDefaultStayHidden) {
    FixturePage page;
    auto source = makePdf({page}, true);
    auto out = SignedPDF::write(source, {});
    ASSERT_TRUE(out);
    RenderedPdf before(source);
    ASSERT_TRUE(isWhite(pixelAt(before.render(0), 20, 20))) << "the fixture's layer should be hidden";
    RenderedPdf rendered(*out);
    EXPECT_TRUE(isWhite(pixelAt(rendered.render(0), 20, 20)));
}

TEST_F(SignedPdfTest, WithoutOverlaysThePagesLookAsBefore) {
    FixturePage a;
    a.text = "Tenancy agreement";
    a.marker = {{40, 40, 120, 60}};
    FixturePage b = a;
    b.width = 842, b.height = 595, b.rotate = 90;
    auto source = makePdf({a, b});
    auto out = SignedPDF::write(source, {});
    ASSERT_TRUE(out);
    RenderedPdf original(source), copy(*out);
    ASSERT_EQ(copy.pageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        auto x = original.render(i), y = copy.render(i);
        ASSERT_EQ(x.size(), y.size());
        int different = 0;
        for (int r = 0; r < x.height(); ++r)
            for (int col = 0; col < x.width(); ++col) different += x.pixel(col, r) != y.pixel(col, r);
        EXPECT_LT(different, x.width() * x.height() / 1000) << "the page changed";
    }
}

TEST_F(SignedPdfTest, PagesSharingOneContentStreamAreEachDrawnTheirOwnWay) {
    FixturePage page;
    page.marker = {{0, 0, 100, 50}};
    auto two = makePdf({page, page});
    QPDF pdf;
    pdf.processMemoryFile("fixture", two.data(), two.size());
    auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    auto second = pages[1].getObjectHandle();
    second.replaceKey("/Contents", pages[0].getObjectHandle().getKey("/Contents"));
    second.replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    auto out = SignedPDF::write(std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()), {});
    ASSERT_TRUE(out);
    RenderedPdf rendered(*out);
    ASSERT_EQ(rendered.pageCount(), 2);
    EXPECT_TRUE(isBlack(pixelAt(rendered.render(0), 50, 25)));
    EXPECT_EQ(rendered.pageSize(1), QSizeF(842, 595));
    EXPECT_TRUE(isBlack(pixelAt(rendered.render(1), 25, 595 - 50)));
}

TEST_F(SignedPdfTest, APageThatCannotBeDrawnFailsTheWholeWrite) {
    FixturePage good;
    good.text = "Fine";
    FixturePage damaged = good;
    damaged.damaged = true;
    struct Case {
        const char* name;
        std::string source;
    };
    const Case cases[] = {
        {"DamagedMiddlePage", makePdf({good, damaged, good})},
        {"DamagedOnlyPage", makePdf({damaged})},
        {"NoPdf", "not a pdf"},
        {"Empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SignedPDF::write(c.source, {{0, solidImage(4, 4, Qt::red), QRectF(0, 0, 10, 10)}}));
    }
}

}  // namespace
}  // namespace inkwarden
