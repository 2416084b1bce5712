#include "signature/page_images.hpp"

#include "support/qt_application.hpp"

#include <QPdfDocument>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace inkwarden {
namespace {

// Counts renders; each image is filled with a colour naming its render, so a test can tell them apart.
struct CountingRender {
    std::vector<std::pair<int, QSize>> calls;

    PageImages::Render render() {
        return [this](QPdfDocument&, int page, QSize size) {
            calls.emplace_back(page, size);
            QImage image(size, QImage::Format_RGB32);
            image.fill(QColor::fromRgb(static_cast<QRgb>(calls.size())));
            return image;
        };
    }
};

struct PageImagesTest : ::testing::Test {
    PageImagesTest() { testing_support::qtApplication(); }

    CountingRender counter;
    PageImages images{counter.render()};
    QPdfDocument document;

    std::vector<std::pair<int, double>> keys() const {
        std::vector<std::pair<int, double>> result;
        for (const auto& entry : images.entries()) result.emplace_back(entry.page, entry.detail);
        return result;
    }
};

TEST_F(PageImagesTest, KeepsOneImagePerPageAndDetailWhateverTheSize) {
    const QImage first = images.image(document, 3, 1, {200, 280});
    const QImage again = images.image(document, 3, 1, {400, 560});
    EXPECT_EQ(counter.calls.size(), 1u);
    // The kept image answers at its old size; the view stretches it.
    EXPECT_EQ(again.size(), QSize(200, 280));
    EXPECT_EQ(again, first);

    images.image(document, 3, 2.5, {500, 700});
    images.image(document, 4, 1, {200, 280});
    EXPECT_EQ(counter.calls.size(), 3u);
    EXPECT_EQ(keys(), (std::vector<std::pair<int, double>>{{3, 1}, {3, 2.5}, {4, 1}}));
}

TEST_F(PageImagesTest, TheTwentySixthImageDropsTheOldest) {
    for (int page = 0; page < 25; ++page) images.image(document, page, 1, {10, 14});
    ASSERT_EQ(images.entries().size(), 25u);
    EXPECT_EQ(counter.calls.size(), 25u);

    images.image(document, 25, 1, {10, 14});
    ASSERT_EQ(images.entries().size(), 25u);
    EXPECT_EQ(images.entries().front().page, 1);
    EXPECT_EQ(images.entries().back().page, 25);

    // Asking for the dropped page renders it anew and drops the next oldest.
    images.image(document, 0, 1, {10, 14});
    EXPECT_EQ(counter.calls.size(), 27u);
    ASSERT_EQ(images.entries().size(), 25u);
    EXPECT_EQ(images.entries().front().page, 2);
    EXPECT_EQ(images.entries().back().page, 0);

    // A hit does not refresh an entry: the oldest stays next in line.
    images.image(document, 2, 1, {10, 14});
    EXPECT_EQ(counter.calls.size(), 27u);
    images.image(document, 26, 1, {10, 14});
    EXPECT_EQ(images.entries().front().page, 3);
}

TEST_F(PageImagesTest, DocumentsDoNotShareImages) {
    auto other = std::make_unique<QPdfDocument>();
    images.image(document, 0, 1, {10, 14});
    images.image(*other, 0, 1, {10, 14});
    EXPECT_EQ(counter.calls.size(), 2u);

    // A closed document's images never answer for one made later, even at the same address.
    other.reset();
    auto later = std::make_unique<QPdfDocument>();
    images.image(*later, 0, 1, {10, 14});
    EXPECT_EQ(counter.calls.size(), 3u);
}

TEST_F(PageImagesTest, ClearForgetsEverything) {
    images.image(document, 0, 1, {10, 14});
    images.clear();
    EXPECT_TRUE(images.entries().empty());
    images.image(document, 0, 1, {10, 14});
    EXPECT_EQ(counter.calls.size(), 2u);
}

}  // namespace
}  // namespace inkwarden
