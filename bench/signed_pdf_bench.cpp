// The signed-PDF writer on a 100-page document against qpdf's own overlay of the same image onto
// the same page, in one run. Run each alone (--benchmark_filter) to read its peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFJob.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QImage>
#include <QPainter>

#include "signature/signed_pdf.hpp"

namespace {

constexpr int kPages = 100;
constexpr int kSignedPage = 49;
const QRectF kRect(71.4, 157.54, 124.95, 43.46);

std::string written(QPDF& pdf) {
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

/// A contract of 100 A4 pages of compressed text sharing two fonts.
std::string contract() {
    QPDF pdf;
    pdf.emptyPDF();
    auto regular = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>"));
    auto bold = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Bold >>"));
    QPDFPageDocumentHelper pages(pdf);
    for (int i = 0; i < kPages; ++i) {
        std::string content = "BT /F2 14 Tf 72 780 Td (Clause " + std::to_string(i + 1) + ") Tj ET\n";
        for (int line = 0; line < 55; ++line)
            content += "BT /F1 10 Tf 72 " + std::to_string(760 - line * 12) +
                       " Td (The Supplier shall deliver the goods described in Schedule A within thirty days.) Tj ET\n";
        auto page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>");
        auto fonts = QPDFObjectHandle::newDictionary();
        fonts.replaceKey("/F1", regular);
        fonts.replaceKey("/F2", bold);
        auto resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/Font", fonts);
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    return written(pdf);
}

/// A signature-like image: dark strokes on transparency, 3 pixels per point.
QImage signature() {
    QImage image(375, 130, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 7.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int x = 20; x < 340; x += 40) painter.drawLine(x, 100, x + 30, 20);
    return image;
}

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void SignedPdfWrite100Pages(benchmark::State& state) {
    const auto source = contract();
    const auto image = signature();
    std::size_t size = 0;
    for (auto _ : state) {
        auto out = inkwarden::SignedPDF::write(source, {{kSignedPage, image, kRect}});
        if (!out) state.SkipWithError("the writer failed");
        size = out ? out->size() : 0;
        benchmark::DoNotOptimize(out);
    }
    state.counters["output_KiB"] = static_cast<double>(size) / 1024;
    state.counters["peak_rss_MiB"] = peakMiB();
}
BENCHMARK(SignedPdfWrite100Pages)->Unit(benchmark::kMillisecond);

void QpdfOverlay100Pages(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("signed_pdf_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto input = folder / "contract.pdf", overlay = folder / "overlay.pdf", output = folder / "out.pdf";
    writeFile(input, contract());
    // The same image in the same rect on an empty page of the same size.
    QPDF blank;
    blank.emptyPDF();
    QPDFPageDocumentHelper(blank).addPage(
        QPDFPageObjectHelper(blank.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"))),
        false);
    writeFile(overlay, inkwarden::SignedPDF::write(written(blank), {{0, signature(), kRect}}).value());
    const auto to = "--to=" + std::to_string(kSignedPage + 1);
    for (auto _ : state) {
        QPDFJob job;
        job.initializeFromArgv(std::vector<const char*>{"qpdf", input.c_str(), "--overlay", overlay.c_str(), to.c_str(),
                                                         "--from=1", "--", output.c_str(), nullptr}
                                   .data());
        job.run();
    }
    state.counters["output_KiB"] = static_cast<double>(std::filesystem::file_size(output)) / 1024;
    state.counters["peak_rss_MiB"] = peakMiB();
    std::filesystem::remove_all(folder);
}
BENCHMARK(QpdfOverlay100Pages)->Unit(benchmark::kMillisecond);

}  // namespace
