#include "signature/signed_pdf.hpp"

#include "signature/pdf_geometry.hpp"

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <charconv>
#include <map>

namespace inkwarden {

namespace {

/// A number as PDF content writes it, whatever the process locale.
std::string number(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    if (error != std::errc()) return "0";
    std::string result(text, end);
    // Trailing zeros only cost bytes.
    while (result.size() > 1 && result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
    if (result == "-0") result = "0";
    return result;
}

/// An RGB image XObject with the image's alpha as its soft mask (none when fully opaque).
QPDFObjectHandle imageXObject(QPDF& pdf, const QImage& source) {
    const auto image = source.convertToFormat(QImage::Format_RGBA8888);  // not premultiplied
    const int width = image.width(), height = image.height();
    std::string rgb(static_cast<std::size_t>(width) * height * 3, '\0');
    std::string alpha(static_cast<std::size_t>(width) * height, '\0');
    bool opaque = true;
    std::size_t c = 0, a = 0;
    for (int y = 0; y < height; ++y) {
        const auto* line = image.constScanLine(y);
        for (int x = 0; x < width; ++x, line += 4) {
            rgb[c++] = static_cast<char>(line[0]);
            rgb[c++] = static_cast<char>(line[1]);
            rgb[c++] = static_cast<char>(line[2]);
            alpha[a++] = static_cast<char>(line[3]);
            opaque = opaque && line[3] == 255;
        }
    }
    auto dictionary = [&](const char* colorSpace) {
        auto d = QPDFObjectHandle::newDictionary();
        d.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        d.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        d.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
        d.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
        d.replaceKey("/ColorSpace", QPDFObjectHandle::newName(colorSpace));
        d.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        return d;
    };
    // The writer compresses both streams.
    auto result = QPDFObjectHandle::newStream(&pdf, std::move(rgb));
    result.replaceDict(dictionary("/DeviceRGB"));
    if (!opaque) {
        auto mask = QPDFObjectHandle::newStream(&pdf, std::move(alpha));
        mask.replaceDict(dictionary("/DeviceGray"));
        result.getDict().replaceKey("/SMask", mask);
    }
    return result;
}

/// Adds a page of `size` drawing `form` (when given) and then the overlays.
class PageBuilder {
public:
    explicit PageBuilder(QPDF& pdf) : pdf_(pdf), pages_(pdf) {}

    void add(QSizeF size, double userUnit, std::optional<QPDFObjectHandle> form,
             const std::vector<const SignedPDF::Overlay*>& overlays) {
        auto xobjects = QPDFObjectHandle::newDictionary();
        std::string content;
        if (form) {
            xobjects.replaceKey("/Fx0", *form);
            content += "q /Fx0 Do Q\n";
        }
        int n = 0;
        for (const auto* overlay : overlays) {
            if (overlay->image.isNull()) continue;
            const auto name = "/Im" + std::to_string(n++);
            xobjects.replaceKey(name, image(overlay->image));
            const auto& r = overlay->rect;
            content += "q " + number(r.width()) + " 0 0 " + number(r.height()) + " " + number(r.x()) + " " +
                       number(r.y()) + " cm " + name + " Do Q\n";
        }
        auto resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        auto page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", QPDFObjectHandle::newArray(
                                         QPDFObjectHandle::Rectangle(0, 0, size.width(), size.height())));
        if (userUnit != 1) page.replaceKey("/UserUnit", QPDFObjectHandle::newReal(userUnit, 6, true));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf_, content));
        pages_.addPage(QPDFPageObjectHelper(pdf_.makeIndirectObject(page)), false);
    }

private:
    /// One XObject per distinct image, however many pages show it.
    QPDFObjectHandle image(const QImage& source) {
        auto [it, added] = images_.try_emplace(source.cacheKey());
        if (added) it->second = imageXObject(pdf_, source);
        return it->second;
    }

    QPDF& pdf_;
    QPDFPageDocumentHelper pages_;
    std::map<qint64, QPDFObjectHandle> images_;
};

std::string bytesOf(QPDFWriter& writer) {
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

std::string written(QPDF& pdf) {
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setPreserveEncryption(false);
    writer.write();
    return bytesOf(writer);
}

/// Throws when the page's content cannot be decoded: such a page cannot be drawn.
void requireReadableContent(QPDFPageObjectHelper& page) {
    Pl_Discard discard;
    page.pipeContents(&discard);
}

}  // namespace

std::optional<std::string> SignedPDF::write(std::string_view source, const std::vector<Overlay>& overlays) {
    try {
        QPDF input;
        input.setSuppressWarnings(true);
        input.processMemoryFile("document", source.data(), source.size());
        // Field and annotation appearances become page content, as a printout would show them.
        QPDFAcroFormDocumentHelper(input).generateAppearancesIfNeeded();
        QPDFPageDocumentHelper inputPages(input);
        inputPages.flattenAnnotations();

        QPDF output;
        output.emptyPDF();
        output.setSuppressWarnings(true);
        PageBuilder builder(output);
        auto pages = inputPages.getAllPages();
        std::vector<std::vector<const Overlay*>> onPage(pages.size());
        for (const auto& overlay : overlays) {
            if (overlay.page >= 0 && static_cast<std::size_t>(overlay.page) < pages.size())
                onPage[overlay.page].push_back(&overlay);
        }
        for (std::size_t i = 0; i < pages.size(); ++i) {
            auto& page = pages[i];
            auto geometry = PageGeometry::of(page);
            if (!geometry) return std::nullopt;
            requireReadableContent(page);
            auto form = page.getFormXObjectForPage(false);
            const auto& box = geometry->mediaBox;
            form.getDict().replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                         box.left(), box.top(), box.right(), box.bottom())));
            const auto m = geometry->toDisplayed();
            form.getDict().replaceKey("/Matrix", QPDFObjectHandle::newArray(
                                           QPDFObjectHandle::Matrix(m.m11(), m.m12(), m.m21(), m.m22(), m.dx(), m.dy())));
            builder.add(geometry->displayedSize(), geometry->userUnit, output.copyForeignObject(form), onPage[i]);
        }
        // Layers that are off by default stay off.
        auto layers = input.getRoot().getKey("/OCProperties");
        if (layers.isDictionary()) {
            if (!layers.isIndirect()) layers = input.makeIndirectObject(layers);
            output.getRoot().replaceKey("/OCProperties", output.copyForeignObject(layers));
        }
        return written(output);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> SignedPDF::fromImage(const QImage& image) {
    if (image.isNull()) return std::nullopt;
    try {
        QPDF output;
        output.emptyPDF();
        const QSizeF size(image.width(), image.height());
        Overlay whole{0, image, QRectF(QPointF(0, 0), size)};
        PageBuilder(output).add(size, 1, std::nullopt, {&whole});
        return written(output);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace inkwarden
