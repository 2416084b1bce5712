#include "signature/document_preview.hpp"

#include "signature/tool_error.hpp"
#include "support/qt_application.hpp"
#include "support/signing_fixtures.hpp"

#include <QPdfDocument>
#include <QTest>
#include <gtest/gtest.h>


#include <optional>
#include <vector>

namespace inkwarden {
namespace {

using testing_support::encryptedPdf;
using testing_support::pdfOfPages;

std::string image(const char* format, int width, int height) {
    return testing_support::imageBytes(width, height, Qt::darkGreen, format);
}

std::string errorOf(const std::string& data) {
    try {
        DocumentPreview preview(data, std::nullopt);
    } catch (const ToolError& error) {
        return error.message();
    }
    return "(opened)";
}

class DocumentPreviewTest : public testing::Test {
protected:
    DocumentPreviewTest() { testing_support::qtApplication(); }
};

TEST_F(DocumentPreviewTest, PageIsClampedToTheDocument) {
    const auto five = pdfOfPages(5);
    struct Case {
        std::optional<std::int64_t> asked;
        int page;
    };
    const std::vector<Case> cases = {{std::nullopt, 1}, {0, 1}, {-4, 1}, {1, 1}, {2, 2}, {5, 5}, {6, 5}, {INT64_MAX, 5}};
    for (const auto& test : cases) {
        DocumentPreview preview(five, test.asked);
        EXPECT_EQ(preview.pageCount(), 5);
        EXPECT_EQ(preview.page(), test.page) << (test.asked ? *test.asked : -999);
    }
}

TEST_F(DocumentPreviewTest, CaptionNamesThePageOfSeveral) {
    EXPECT_EQ(DocumentPreview(pdfOfPages(5), 2).caption(), "Opened on page 2 of 5. Scroll to read the rest.");
    EXPECT_EQ(DocumentPreview(pdfOfPages(1), 3).caption(), "This is the document your AI wants signed.");
}

TEST_F(DocumentPreviewTest, ImagesBecomeOnePagePDFs) {
    for (const char* format : {"PNG", "JPEG"}) {
        DocumentPreview preview(image(format, 300, 200), 4);
        EXPECT_EQ(preview.pageCount(), 1) << format;
        EXPECT_EQ(preview.page(), 1) << format;
        EXPECT_EQ(preview.caption(), "This is the document your AI wants signed.") << format;
        // One point per pixel, and the PDF bytes are there for whoever signs it later.
        EXPECT_EQ(preview.document().pagePointSize(0).toSize(), QSize(300, 200)) << format;
        EXPECT_TRUE(preview.pdf().starts_with("%PDF")) << format;
        // The picture is on the page.
        const QImage page = preview.document().render(0, QSize(150, 100));
        EXPECT_EQ(page.pixelColor(75, 50).green(), QColor(Qt::darkGreen).green()) << format;
    }
}

TEST_F(DocumentPreviewTest, LockedAndUnreadableDocumentsAreRefused) {
    const std::string locked = DocumentPreview::kLockedText;
    const std::string unreadable = DocumentPreview::kUnreadableText;
    const auto pdf = pdfOfPages(2);
    EXPECT_EQ(errorOf(encryptedPdf(pdf, "secret")), locked);
    // Only an owner password: it opens without one, so it is shown.
    EXPECT_EQ(errorOf(encryptedPdf(pdf, "")), "(opened)");
    EXPECT_EQ(errorOf(""), unreadable);
    EXPECT_EQ(errorOf("just some text\n"), unreadable);
    EXPECT_EQ(errorOf(std::string("\x00\xff\x13\x37garbage", 11)), unreadable);
    EXPECT_EQ(errorOf(pdf.substr(0, 40)), unreadable);
}

TEST_F(DocumentPreviewTest, ViewOpensOnThePage) {
    DocumentPreviewView view(DocumentPreview(pdfOfPages(5), 2));
    view.resize(400, 480);
    view.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.currentPageIndex() == 1; }, 5000));
}

}  // namespace
}  // namespace inkwarden
