// The document pages view on a long document: time from the bytes to the first page on screen,
// and the resident memory once every page has been scrolled past. Offscreen.
#include "signature/document_pages_view.hpp"
#include "signature/page_images.hpp"

#include <QApplication>
#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPages = 300;

QApplication& application() {
    static int argc = 1;
    static char name[] = "pages_view_bench";
    static char* argv[] = {name, nullptr};
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// Pages of text, so each render does real work.
const QByteArray& longDocument() {
    static const QByteArray bytes = [] {
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins({});
        QPainter painter(&writer);
        QFont font = painter.font();
        font.setPixelSize(11);
        painter.setFont(font);
        for (int page = 0; page < kPages; ++page) {
            if (page > 0) writer.newPage();
            for (int line = 0; line < 60; ++line) {
                painter.drawText(50, 60 + line * 12,
                                 QStringLiteral("Page %1, line %2: the parties agree to the terms set out below.")
                                     .arg(page + 1)
                                     .arg(line + 1));
            }
        }
        painter.end();
        return pdf;
    }();
    return bytes;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

struct OpenView {
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QPdfDocument document;
    std::unique_ptr<inkwarden::DocumentPagesView> view;

    explicit OpenView(const QByteArray& pdf) : bytes(pdf) {
        buffer.open(QIODevice::ReadOnly);
        document.load(&buffer);
        std::vector<QSizeF> sizes;
        for (int page = 0; page < document.pageCount(); ++page) sizes.push_back(document.pagePointSize(page));
        view = std::make_unique<inkwarden::DocumentPagesView>(document, sizes, 0, std::vector<inkwarden::PlacedItem>{});
        view->resize(420, 600);
        view->show();
        QCoreApplication::processEvents();
        view->column()->repaint();
    }
};

void BM_PagesViewFirstPage(benchmark::State& state) {
    application();
    const QByteArray& pdf = longDocument();
    for (auto _ : state) {
        inkwarden::PageImages::shared().clear();
        const auto started = Clock::now();
        OpenView open(pdf);
        const auto shown = Clock::now();
        if (inkwarden::PageImages::shared().entries().empty()) {
            state.SkipWithError("no page was rendered");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(shown - started).count());
    }
}
BENCHMARK(BM_PagesViewFirstPage)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_PagesViewScrollToEnd(benchmark::State& state) {
    application();
    const QByteArray& pdf = longDocument();
    long before = 0;
    long after = 0;
    for (auto _ : state) {
        inkwarden::PageImages::shared().clear();
        OpenView open(pdf);
        before = residentKiB();
        auto* bar = open.view->verticalScrollBar();
        while (bar->value() < bar->maximum()) {
            bar->setValue(bar->value() + open.view->viewport()->height() / 2);
            open.view->column()->repaint();
        }
        after = residentKiB();
    }
    state.counters["rss_first_page_MiB"] = static_cast<double>(before) / 1024.0;
    state.counters["rss_after_end_MiB"] = static_cast<double>(after) / 1024.0;
    state.counters["cached_images"] = static_cast<double>(inkwarden::PageImages::shared().entries().size());
}
BENCHMARK(BM_PagesViewScrollToEnd)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
