#include "signature/company_stamp.hpp"

#include "platform/file_access.hpp"
#include "signature/tool_error.hpp"
#include "support/temporary_folder.hpp"

#include <QBuffer>
#include <QImage>
#include <QObject>
#include <gtest/gtest.h>

#include <fstream>

namespace inkwarden {
namespace {

std::string encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

QImage decodePremultiplied(const std::string& png) {
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

std::array<int, 4> pixel(const QImage& image, int x, int y) {
    const uchar* p = image.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

TEST(CompanyStampTest, OpaqueImagesLoseTheirWhiteShare) {
    QImage source(4, 1, QImage::Format_RGB32);
    source.setPixelColor(0, 0, QColor(255, 255, 255));
    source.setPixelColor(1, 0, QColor(255, 0, 0));
    source.setPixelColor(2, 0, QColor(250, 250, 249));
    source.setPixelColor(3, 0, QColor(100, 100, 100));
    auto stamp = decodePremultiplied(CompanyStamp::normalized(encode(source, "PNG")));
    ASSERT_EQ(stamp.size(), QSize(4, 1));
    EXPECT_EQ(pixel(stamp, 0, 0), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(pixel(stamp, 1, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(stamp, 2, 0), (std::array<int, 4>{1, 1, 0, 6}));  // darkest channel 249: a faint trace stays
    EXPECT_EQ(pixel(stamp, 3, 0)[3], 155);  // grey ink: partly transparent black
    EXPECT_EQ(pixel(stamp, 3, 0)[0], 0);
}

TEST(CompanyStampTest, TransparentImagesKeepTheirPixelsAndLargeOnesShrinkToTwelveHundred) {
    QImage source(2, 1, QImage::Format_RGBA8888);
    source.setPixelColor(0, 0, QColor(255, 255, 255, 255));
    source.setPixelColor(1, 0, QColor(0, 0, 255, 250));
    auto stamp = decodePremultiplied(CompanyStamp::normalized(encode(source, "PNG")));
    EXPECT_EQ(pixel(stamp, 0, 0), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(pixel(stamp, 1, 0)[3], 250);

    struct Case {
        QSize in;
        QSize out;
    };
    for (const auto& c : {Case{{4000, 1000}, {1200, 300}}, Case{{800, 600}, {800, 600}}, Case{{5000, 3}, {1200, 1}}}) {
        QImage big(c.in, QImage::Format_RGB32);
        big.fill(Qt::black);
        EXPECT_EQ(decodePremultiplied(CompanyStamp::normalized(encode(big, "JPEG"))).size(), c.out);
    }
}

TEST(CompanyStampTest, RefusesWhatIsNoImage) {
    try {
        CompanyStamp::normalized("plain text, no picture");
        FAIL();
    } catch (const ToolError& error) {
        EXPECT_EQ(error.message(), "That file isn't an image Inkwarden can read. Use a PNG or JPEG.");
    }
}

TEST(CompanyStampTest, SaveAndRemoveTellObserversAndRemoveFromInboxStaysInside) {
    testing_support::AppFoldersSandbox sandbox;
    int changes = 0;
    auto connection = QObject::connect(&CompanyStamp::notifier(), &CompanyStampNotifier::changed, [&] { ++changes; });
    CompanyStamp::save("png bytes");
    EXPECT_EQ(readRegularFile(CompanyStamp::url()), "png bytes");
    CompanyStamp::remove();
    CompanyStamp::remove();  // nothing there: still announced
    EXPECT_FALSE(std::filesystem::exists(CompanyStamp::url()));
    EXPECT_EQ(changes, 3);
    QObject::disconnect(connection);

    const auto inbox = CompanyStamp::inbox();
    auto write = [](const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    };
    write(inbox / "doc.pdf");
    write(inbox / "sub" / "doc.pdf");
    write(sandbox.path() / "outside.pdf");
    std::filesystem::create_symlink(sandbox.path() / "outside.pdf", inbox / "link.pdf");
    for (const auto& path : {inbox / "sub" / "doc.pdf", sandbox.path() / "outside.pdf", inbox / "link.pdf",
                             inbox / "sub" / ".." / "sub" / "doc.pdf"})
        CompanyStamp::removeFromInbox(path);
    EXPECT_TRUE(std::filesystem::exists(inbox / "sub" / "doc.pdf"));
    EXPECT_TRUE(std::filesystem::exists(sandbox.path() / "outside.pdf"));
    CompanyStamp::removeFromInbox(inbox / "sub" / ".." / "doc.pdf");
    EXPECT_FALSE(std::filesystem::exists(inbox / "doc.pdf"));
    // The private folder is ours alone.
    EXPECT_EQ(std::filesystem::status(inbox.parent_path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace inkwarden
