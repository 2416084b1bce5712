#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>

#include <memory>
#include <vector>

namespace testing_support {

/// A PDF of pages with the given sizes in points, each showing its number from 1 in large type.
inline QByteArray pdfWithPages(const std::vector<QSizeF>& sizes) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageMargins({});
    QPainter painter;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        writer.setPageSize(QPageSize(sizes[i], QPageSize::Point));
        if (i == 0) {
            painter.begin(&writer);
        } else {
            writer.newPage();
        }
        QFont font = painter.font();
        font.setPixelSize(static_cast<int>(sizes[i].height() / 4));
        painter.setFont(font);
        painter.drawText(QRectF(QPointF(), sizes[i]), Qt::AlignCenter, QString::number(i + 1));
    }
    painter.end();
    return bytes;
}

/// A loaded QtPdf document together with the bytes it reads from.
struct OpenedPdf {
    explicit OpenedPdf(QByteArray pdf) : bytes(std::move(pdf)), buffer(&bytes) {
        buffer.open(QIODevice::ReadOnly);
        document.load(&buffer);
    }
    QByteArray bytes;
    QBuffer buffer;
    QPdfDocument document;
};

}  // namespace testing_support
