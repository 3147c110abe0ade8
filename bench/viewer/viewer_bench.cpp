// Viewer control benchmark host.
//   viewer_bench [--pages N] [--scanned]
// Makes a document of N pages (default 500) — text pages, or with --scanned a scan of its own
// on every page (a grey 150 dpi page picture stored as JPEG, as a scanner makes them) — opens
// it in the viewer (800 x 600, offscreen) and prints one "key value" line per measure: open
// time, first page shown, paging (average and slowest of next-page + repaint), jumping to the
// last page, zoom steps, fit width in the continuous layout, and peak memory.
#include <cairo-pdf.h>
#include <cairo.h>
#include <sys/resource.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "PDFView.h"
#include "win/WinPath.h"

namespace {

// Page `page`'s own scan: lines of "words" placed after the page number, on paper with a
// little noise, as grey JPEG bytes.
QByteArray scanOfPage(int page) {
    const int w = 1275, h = 1650;
    QImage image(w, h, QImage::Format_Grayscale8);
    uint32_t seed = 2654435761u * uint32_t(page + 1);
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int y = 0; y < h; ++y) {
        uchar* row = image.scanLine(y);
        const int band = (y + 5 * page) / 12;
        const bool line = band % 3 == 0 && y > 150 && y < h - 150;
        const uint32_t words = (uint32_t(band) * 2246822519u) ^ (uint32_t(page) * 3266489917u);
        for (int x = 0; x < w; ++x) {
            int v = 240 + int(next() >> 29);
            if (line && x > 150 && x < w - 150 && ((words >> ((x / 40) % 29)) & 3) != 0 &&
                (x / 7) % 6 != 0)
                v = 40 + int(next() >> 28);
            row[x] = uchar(v);
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 75);
    return jpeg;
}

void freeBytes(void* p) { delete static_cast<QByteArray*>(p); }

bool makeDocument(const QString& path, int pages, bool scanned) {
    cairo_surface_t* pdf = cairo_pdf_surface_create(path.toUtf8().constData(), 612, 792);
    cairo_t* cr = cairo_create(pdf);
    for (int i = 1; i <= pages; ++i) {
        if (scanned) {
            // The JPEG goes into the document as it is; the surface only gives its size.
            auto* jpeg = new QByteArray(scanOfPage(i));
            cairo_surface_t* scan = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1275, 1650);
            cairo_surface_set_mime_data(scan, CAIRO_MIME_TYPE_JPEG,
                                        reinterpret_cast<const unsigned char*>(jpeg->constData()),
                                        (unsigned long)jpeg->size(), freeBytes, jpeg);
            cairo_save(cr);
            cairo_scale(cr, 612.0 / 1275, 792.0 / 1650);
            cairo_set_source_surface(cr, scan, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_destroy(scan);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_select_font_face(cr, "serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 11);
        for (int l = 0; l < (scanned ? 1 : 50); ++l) {
            cairo_move_to(cr, 60, 60 + l * 14);
            const QByteArray text = "Page " + QByteArray::number(i) + ", line " +
                                    QByteArray::number(l) +
                                    ": the quick brown fox jumps over the lazy dog.";
            cairo_show_text(cr, text.constData());
        }
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(pdf);
    const bool ok = cairo_surface_status(pdf) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(pdf);
    return ok;
}

double ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int pages = 500;
    bool scanned = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pages") && i + 1 < argc) {
            pages = std::max(2, atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--scanned")) {
            scanned = true;
        } else {
            std::fprintf(stderr, "usage: viewer_bench [--pages N] [--scanned]\n");
            return 2;
        }
    }
    QTemporaryDir dir;
    const QString file = dir.path() + "/bench.pdf";
    if (!makeDocument(file, pages, scanned)) {
        std::fprintf(stderr, "cannot make the document\n");
        return 1;
    }
    std::printf("pages %d\nscanned %d\n", pages, scanned ? 1 : 0);

    PDFView view;
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();

    QElapsedTimer t;
    t.start();
    const long rc = view.OpenDocument(win::fromHostPath(file), "", 0);
    std::printf("open_ms %.1f\n", ms(t));
    if (rc != 0 || view.PageCount() != pages) {
        std::fprintf(stderr, "open failed: %ld\n", rc);
        return 1;
    }
    t.restart();
    view.FitToWidth();
    view.repaint();
    std::printf("first_page_shown_ms %.1f\n", ms(t));

    double total = 0, slowest = 0;
    const int steps = std::min(pages - 1, 100);
    for (int i = 0; i < steps; ++i) {
        t.restart();
        view.GoNextPage();
        view.repaint();
        const double d = ms(t);
        total += d;
        slowest = std::max(slowest, d);
    }
    std::printf("next_page_avg_ms %.1f\nnext_page_max_ms %.1f\n", total / steps, slowest);

    t.restart();
    view.GoLastPage();
    view.repaint();
    std::printf("last_page_ms %.1f\n", ms(t));

    total = slowest = 0;
    for (int i = 0; i < 10; ++i) {
        t.restart();
        view.setZoomFactor(view.ZoomFactor() + 0.2);
        view.repaint();
        const double d = ms(t);
        total += d;
        slowest = std::max(slowest, d);
    }
    std::printf("zoom_step_avg_ms %.1f\nzoom_step_max_ms %.1f\nzoom_reached %.2f\n", total / 10,
                slowest, view.ZoomFactor());

    t.restart();
    view.SetLayoutMode(2);
    view.FitToWidth();
    view.GoFirstPage();
    view.repaint();
    std::printf("continuous_fit_width_ms %.1f\n", ms(t));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_mb %.1f\ntiles_rendered %ld\n", usage.ru_maxrss / 1024.0,
                view.renderedTileCount());
    return 0;
}
