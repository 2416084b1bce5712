#include "signature/company_stamp.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <system_error>

#include "platform/app_folders.hpp"
#include "platform/file_access.hpp"
#include "signature/tool_error.hpp"

namespace inkwarden {
namespace {

constexpr const char* kNotAnImage = "That file isn't an image Inkwarden can read. Use a PNG or JPEG.";
constexpr const char* kNotProcessed = "The stamp image couldn't be processed.";

/// The white share of each pixel made transparent, when no pixel is already (much) transparent.
/// Works on premultiplied RGBA bytes.
void whiteToTransparency(QImage& image) {
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (row[4 * x + 3] < 251) return;
        }
    }
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            uchar* pixel = row + 4 * x;
            const uchar m = std::min({pixel[0], pixel[1], pixel[2]});
            if (m >= 250) {
                pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
            } else {
                pixel[0] -= m;
                pixel[1] -= m;
                pixel[2] -= m;
                pixel[3] = static_cast<uchar>(255 - m);
            }
        }
    }
}

}  // namespace

CompanyStampNotifier& CompanyStamp::notifier() {
    static auto* instance = new CompanyStampNotifier;
    return *instance;
}

std::filesystem::path CompanyStamp::url() {
    auto folder = AppFolders::data();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder / "stamp.png";
}

std::filesystem::path CompanyStamp::inbox() {
    std::filesystem::path folder;
    try {
        folder = AppFolders::runtime() / "inbox";
    } catch (const std::system_error&) {
        // No safe private folder: name the inbox anyway; reads and writes there fail on their own.
        return AppFolders::runtimeCandidate() / "inbox";
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

std::string CompanyStamp::normalized(std::string_view data) {
    QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage source = reader.read();
    if (source.isNull()) throw ToolError(kNotAnImage);
    if (source.colorSpace().isValid() && source.colorSpace() != QColorSpace(QColorSpace::SRgb))
        source.convertToColorSpace(QColorSpace(QColorSpace::SRgb));

    const double width = source.width();
    const double height = source.height();
    const double scale = std::min(kMaxSide / std::max(width, height), 1.0);
    const int targetWidth = std::max(1, static_cast<int>(width * scale));
    const int targetHeight = std::max(1, static_cast<int>(height * scale));

    QImage canvas(targetWidth, targetHeight, QImage::Format_RGBA8888_Premultiplied);
    if (canvas.isNull()) throw ToolError(kNotProcessed);
    canvas.setColorSpace(QColorSpace(QColorSpace::SRgb));
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        // Qt's smooth scaling averages areas when shrinking, which a painter's filter does not.
        if (targetWidth != source.width() || targetHeight != source.height())
            source = source.scaled(targetWidth, targetHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(QRectF(0, 0, targetWidth, targetHeight), source);
    }
    whiteToTransparency(canvas);

    QByteArray png;
    QBuffer out(&png);
    if (!out.open(QIODevice::WriteOnly) || !canvas.save(&out, "PNG")) throw ToolError(kNotProcessed);
    return std::string(png.constData(), static_cast<std::size_t>(png.size()));
}

void CompanyStamp::save(std::string_view png) {
    writeFileAtomically(url(), png);
    Q_EMIT notifier().changed();
}

void CompanyStamp::remove() {
    std::error_code ignored;
    std::filesystem::remove(url(), ignored);
    Q_EMIT notifier().changed();
}

void CompanyStamp::removeFromInbox(const std::filesystem::path& file) noexcept {
    try {
        std::error_code error;
        auto resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(file), error);
        if (error) return;
        auto folder = std::filesystem::weakly_canonical(inbox(), error);
        if (error) return;
        if (resolved.parent_path() == folder) std::filesystem::remove(resolved, error);
    } catch (...) {
        // Cleaning up after a read must never fail the tool.
    }
}

}  // namespace inkwarden
