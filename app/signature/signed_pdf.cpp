#include "signature/signed_pdf.hpp"

#include "signature/pdf_geometry.hpp"

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <charconv>
#include <map>
#include <set>

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

/// `data` deflated.
std::string deflated(std::string_view data) {
    Pl_Buffer buffer("deflated");
    Pl_Flate flate("deflate", &buffer, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    flate.finish();
    auto bytes = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
}

/// A stream of `data` deflated, with `dictionary`.
QPDFObjectHandle deflatedStream(QPDF& pdf, std::string_view data, QPDFObjectHandle dictionary) {
    auto stream = QPDFObjectHandle::newStream(&pdf, deflated(data));
    dictionary.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
    stream.replaceDict(dictionary);
    return stream;
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
    auto result = deflatedStream(pdf, rgb, dictionary("/DeviceRGB"));
    if (!opaque) result.getDict().replaceKey("/SMask", deflatedStream(pdf, alpha, dictionary("/DeviceGray")));
    return result;
}

/// Adds a page of `size` drawing `form` and then the overlays.
class PageBuilder {
public:
    explicit PageBuilder(QPDF& pdf) : pdf_(pdf), pages_(pdf) {}

    void add(QSizeF size, double userUnit, QPDFObjectHandle form, const std::vector<const SignedPDF::Overlay*>& overlays) {
        auto xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/Fx0", form);
        std::string content = "q /Fx0 Do Q\n";
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
    // Streams go out as they are: the pages' own content keeps its compression, and the few
    // bytes that place each page are not worth a compressor each.
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.write();
    return bytesOf(writer);
}

/// Throws when the page's content cannot be decoded: such a page cannot be drawn.
void requireReadableContent(QPDFPageObjectHelper& page) {
    Pl_Discard discard;
    page.pipeContents(&discard);
}

/// A form XObject drawing `page` as it is (in its own space). A page with one content stream
/// of its own lends that stream, still compressed; any other gets a copy of its content.
QPDFObjectHandle pageForm(QPDFPageObjectHelper& page, std::set<QPDFObjGen>& lent) {
    auto contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isStream() && contents.isIndirect() && lent.insert(contents.getObjGen()).second) {
        auto dictionary = contents.getDict();
        dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        auto resources = page.getAttribute("/Resources", false);
        dictionary.replaceKey("/Resources", resources.isDictionary() ? resources : QPDFObjectHandle::newDictionary());
        auto group = page.getObjectHandle().getKey("/Group");
        if (group.isDictionary()) dictionary.replaceKey("/Group", group);
        return contents;
    }
    auto form = page.getFormXObjectForPage(false);
    auto data = form.getStreamData(qpdf_dl_all);
    form.replaceStreamData(deflated(std::string_view(reinterpret_cast<const char*>(data->getBuffer()), data->getSize())),
                           QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
    return form;
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
        std::set<QPDFObjGen> lent;
        for (const auto& overlay : overlays) {
            if (overlay.page >= 0 && static_cast<std::size_t>(overlay.page) < pages.size())
                onPage[overlay.page].push_back(&overlay);
        }
        for (std::size_t i = 0; i < pages.size(); ++i) {
            auto& page = pages[i];
            auto geometry = PageGeometry::of(page);
            if (!geometry) return std::nullopt;
            requireReadableContent(page);
            auto form = pageForm(page, lent);
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

}  // namespace inkwarden
