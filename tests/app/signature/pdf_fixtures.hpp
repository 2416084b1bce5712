#pragma once

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfSelection>

#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace inkwarden::testing {

/// One page of a fixture PDF; coordinates in the page's own space.
struct FixturePage {
    double llx = 0, lly = 0, width = 595, height = 842;
    std::optional<double> rotate;
    std::optional<double> userUnit;
    std::optional<std::array<double, 4>> cropBox;  // llx lly urx ury
    /// Drawn in Helvetica 24 at `textAt`.
    std::string text;
    std::array<double, 2> textAt{100, 700};
    /// The text matrix's first four numbers; a page turned by /Rotate draws its text turned back.
    std::array<double, 4> textMatrix{1, 0, 0, 1};
    /// A black filled rectangle (x, y, w, h), to find the page's orientation by its pixels.
    std::optional<std::array<double, 4>> marker;
    /// A text field whose appearance fills this rectangle green.
    std::optional<std::array<double, 4>> field;
    /// A square annotation whose appearance fills this rectangle blue.
    std::optional<std::array<double, 4>> annotation;
    /// Content that claims to be compressed but is not.
    bool damaged = false;
};

/// A number for content streams, whatever the process locale.
inline std::string num(double value) {
    char text[64];
    auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3).ptr;
    return std::string(text, end);
}

inline QPDFObjectHandle appearance(QPDF& pdf, const std::array<double, 4>& r, const char* rgb) {
    auto stream = QPDFObjectHandle::newStream(&pdf, std::string(rgb) + " rg 0 0 " + num(r[2]) + " " +
                                                       num(r[3]) + " re f");
    stream.replaceDict(QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 " + num(r[2]) +
                                               " " + num(r[3]) + "] >>"));
    return stream;
}

inline QPDFObjectHandle rectangle(const std::array<double, 4>& r) {
    return QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(r[0], r[1], r[0] + r[2], r[1] + r[3]));
}

/// A PDF of `pages`, made with qpdf; an optional content group that is off draws a red square
/// at (0, 0, 40, 40) on every page when `hiddenLayer` is set.
inline std::string makePdf(const std::vector<FixturePage>& pages, bool hiddenLayer = false) {
    QPDF pdf;
    pdf.emptyPDF();
    auto font = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    auto layer = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /OCG /Name (Hidden) >>"));
    auto fields = QPDFObjectHandle::newArray();
    QPDFPageDocumentHelper helper(pdf);
    for (const auto& p : pages) {
        std::string content;
        if (p.marker) {
            const auto& m = *p.marker;
            content += "0 g " + num(m[0]) + " " + num(m[1]) + " " + num(m[2]) + " " +
                       num(m[3]) + " re f\n";
        }
        if (!p.text.empty())
            content += "0 g BT /F1 24 Tf " + num(p.textMatrix[0]) + " " + num(p.textMatrix[1]) +
                       " " + num(p.textMatrix[2]) + " " + num(p.textMatrix[3]) + " " +
                       num(p.textAt[0]) + " " + num(p.textAt[1]) + " Tm (" + p.text + ") Tj ET\n";
        if (hiddenLayer) content += "/OC /L1 BDC 1 0 0 rg " + num(p.llx) + " " + num(p.lly) + " 40 40 re f EMC\n";
        auto page = QPDFObjectHandle::parse("<< /Type /Page >>");
        page.replaceKey("/MediaBox", QPDFObjectHandle::newArray(
                                         QPDFObjectHandle::Rectangle(p.llx, p.lly, p.llx + p.width, p.lly + p.height)));
        if (p.cropBox) {
            const auto& c = *p.cropBox;
            page.replaceKey("/CropBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(c[0], c[1], c[2], c[3])));
        }
        if (p.rotate) page.replaceKey("/Rotate", QPDFObjectHandle::newReal(*p.rotate, 1, true));
        if (p.userUnit) page.replaceKey("/UserUnit", QPDFObjectHandle::newReal(*p.userUnit, 2, true));
        auto resources = QPDFObjectHandle::parse("<< /Font << >> /Properties << >> >>");
        resources.getKey("/Font").replaceKey("/F1", font);
        resources.getKey("/Properties").replaceKey("/L1", layer);
        page.replaceKey("/Resources", resources);
        auto contents = QPDFObjectHandle::newStream(&pdf, p.damaged ? std::string("this is no flate data at all") : content);
        if (p.damaged) contents.getDict().replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
        page.replaceKey("/Contents", contents);
        auto annotations = QPDFObjectHandle::newArray();
        if (p.field) {
            auto widget = pdf.makeIndirectObject(QPDFObjectHandle::parse(
                "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Jane) /F 4 >>"));
            widget.replaceKey("/Rect", rectangle(*p.field));
            auto ap = QPDFObjectHandle::newDictionary();
            ap.replaceKey("/N", appearance(pdf, *p.field, "0 1 0"));
            widget.replaceKey("/AP", ap);
            annotations.appendItem(widget);
            fields.appendItem(widget);
        }
        if (p.annotation) {
            auto square = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Square /F 4 >>"));
            square.replaceKey("/Rect", rectangle(*p.annotation));
            auto ap = QPDFObjectHandle::newDictionary();
            ap.replaceKey("/N", appearance(pdf, *p.annotation, "0 0 1"));
            square.replaceKey("/AP", ap);
            annotations.appendItem(square);
        }
        if (annotations.getArrayNItems() > 0) page.replaceKey("/Annots", annotations);
        helper.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    if (fields.getArrayNItems() > 0) {
        auto form = QPDFObjectHandle::newDictionary();
        form.replaceKey("/Fields", fields);
        pdf.getRoot().replaceKey("/AcroForm", form);
    }
    if (hiddenLayer) {
        auto properties = QPDFObjectHandle::parse("<< /OCGs [] /D << /OFF [] /Order [] >> >>");
        properties.getKey("/OCGs").appendItem(layer);
        properties.getKey("/D").getKey("/OFF").appendItem(layer);
        properties.getKey("/D").getKey("/Order").appendItem(layer);
        pdf.getRoot().replaceKey("/OCProperties", properties);
    }
    auto info = QPDFObjectHandle::parse("<< /Title (Lease) /Author (Landlord) >>");
    pdf.getTrailer().replaceKey("/Info", pdf.makeIndirectObject(info));
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

/// `pdf` encrypted: it opens only with `user` (none needed when it is empty).
inline std::string encrypted(const std::string& pdf, const char* user, const char* owner) {
    QPDF source;
    source.processMemoryFile("fixture", pdf.data(), pdf.size());
    QPDFWriter writer(source);
    writer.setOutputMemory();
    writer.setR6EncryptionParameters(user, owner, true, true, true, true, true, false, qpdf_r3p_full, true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

/// A PDF opened with QtPdf from bytes that stay with it.
class RenderedPdf {
public:
    explicit RenderedPdf(const std::string& bytes) {
        buffer_.setData(QByteArray::fromStdString(bytes));
        buffer_.open(QIODevice::ReadOnly);
        document_.load(&buffer_);
    }
    bool ready() const { return document_.status() == QPdfDocument::Status::Ready; }
    int pageCount() const { return document_.pageCount(); }
    QSizeF pageSize(int page) const { return document_.pagePointSize(page); }
    QString text(int page) { return document_.getAllText(page).text(); }

    /// The page at one pixel per point on white, y down.
    QImage render(int page) {
        const auto size = document_.pagePointSize(page).toSize();
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.drawImage(0, 0, document_.render(page, size));
        return image;
    }

private:
    QBuffer buffer_;
    QPdfDocument document_;
};

/// The colour at (x, y) measured from the lower-left corner of the page, y upwards.
inline QColor pixelAt(const QImage& image, double x, double y) {
    return image.pixelColor(static_cast<int>(x), image.height() - 1 - static_cast<int>(y));
}

/// A solid image, `alpha` opaque.
inline QImage solidImage(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

/// `image` as PNG bytes.
inline std::string pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

inline bool isBlack(QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; }
inline bool isWhite(QColor c) { return c.red() > 230 && c.green() > 230 && c.blue() > 230; }
inline bool isRed(QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
inline bool isBlue(QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() > 200; }
inline bool isGreen(QColor c) { return c.red() < 60 && c.green() > 200 && c.blue() < 60; }

/// The structure of one PDF as qpdf reads it.
struct PdfStructure {
    explicit PdfStructure(const std::string& bytes) {
        pdf.processMemoryFile("output", bytes.data(), bytes.size());
        pages = QPDFPageDocumentHelper(pdf).getAllPages();
    }
    QPDF pdf;
    std::vector<QPDFPageObjectHelper> pages;
};

}  // namespace inkwarden::testing
