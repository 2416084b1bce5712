#pragma once

// Small documents and pointer input for the signing tests, made on the spot.

#include <QApplication>
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <QWidget>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <string>
#include <vector>

namespace testing_support {

/// An image of one colour, encoded as `format` ("PNG", "JPEG").
inline std::string imageBytes(int width, int height, QColor color, const char* format = "PNG") {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

/// A PDF of `pages` pages, each saying its number.
inline std::string pdfOfPages(int pages) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        QPainter painter(&writer);
        for (int i = 0; i < pages; ++i) {
            if (i) writer.newPage();
            painter.drawText(100, 100, QString("Page %1").arg(i + 1));
        }
    }
    return bytes.toStdString();
}

/// `pdf` encrypted; with a non-empty user password it opens only with that password.
inline std::string encryptedPdf(const std::string& pdf, const char* userPassword) {
    QPDF document;
    document.processMemoryFile("source", pdf.data(), pdf.size());
    QPDFWriter writer(document);
    writer.setOutputMemory();
    writer.setR6EncryptionParameters(userPassword, "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

/// Presses the left button at `from`, moves through `path` with it held, and releases at the last
/// point, as a person drawing with the mouse.
inline void dragMouse(QWidget* widget, QPoint from, const std::vector<QPoint>& path) {
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QPoint at = from;
    for (auto point : path) {
        QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(widget, &move);
        at = point;
    }
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

}  // namespace testing_support
