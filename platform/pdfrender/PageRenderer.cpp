#include "pdfrender/PageRenderer.h"

#include <QFile>
#include <QImage>
#include <QThread>

#include <poppler-qt6.h>
#include <tiffio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "win/CodePage.h"
#include "win/WinPath.h"

namespace pdfrender {

namespace {

// A page is rendered in horizontal bands on several threads, each band from a document
// instance of its own (a poppler document is not shared between threads).
int bandCount() { return qBound(1, QThread::idealThreadCount(), 4); }

struct OpenDocument {
    QString hostPath;
    QByteArray password;
    std::unique_ptr<Poppler::Document> doc;
    // Instances for the band threads, opened at the first export and kept until ClosePDF.
    std::vector<std::unique_ptr<Poppler::Document>> bandDocs;
    bool exporting = false;
};

std::unique_ptr<Poppler::Document> loadDocument(const QString& hostPath, const QByteArray& pw) {
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(hostPath, pw, pw);
    if (!doc || doc->isLocked()) return nullptr;
    doc->setRenderBackend(Poppler::Document::SplashBackend);
    doc->setRenderHint(Poppler::Document::Antialiasing, true);
    doc->setRenderHint(Poppler::Document::TextAntialiasing, true);
    return doc;
}

std::map<int, std::shared_ptr<OpenDocument>>& documents() {
    static std::map<int, std::shared_ptr<OpenDocument>> table;
    return table;
}

std::shared_ptr<OpenDocument> find(int handle) {
    auto it = documents().find(handle);
    return it == documents().end() ? nullptr : it->second;
}

std::unique_ptr<Poppler::Page> pageOf(Poppler::Document* doc, int page) {
    if (!doc || page < 1 || page > doc->numPages()) return nullptr;
    return doc->page(page - 1);
}

// Luminance of 32-bit pixels (B, G, R, A in memory) into 8-bit grey.
void toGrey(const QImage& src, uchar* dst, qsizetype stride) {
    for (int y = 0; y < src.height(); ++y) {
        const uchar* s = src.constScanLine(y);
        uchar* d = dst + y * stride;
        for (int x = 0; x < src.width(); ++x, s += 4) {
            d[x] = uchar((s[2] * 77 + s[1] * 151 + s[0] * 28) >> 8);
        }
    }
}

void toRgb(const QImage& src, uchar* dst, qsizetype stride) {
    for (int y = 0; y < src.height(); ++y) {
        const uchar* s = src.constScanLine(y);
        uchar* d = dst + y * stride;
        for (int x = 0; x < src.width(); ++x, s += 4, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
}

// Renders one page into an 8-bit grey or RGB image, band by band on worker threads; the
// calling (window) thread calls `tick` every 40 ms until the bands are done.
QImage renderPage(OpenDocument& d, int page, int xres, int yres, bool grey,
                  const std::function<void()>& tick) {
    std::unique_ptr<Poppler::Page> first = pageOf(d.doc.get(), page);
    if (!first) return QImage();
    const QSizeF pts = first->pageSizeF();
    const int width = qMax(1, int(pts.width() * xres / 72.0 + 0.5));
    const int height = qMax(1, int(pts.height() * yres / 72.0 + 0.5));
    QImage out(width, height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (out.isNull()) return QImage();

    const int bands = qMin(int(d.bandDocs.size()) + 1, qMax(1, height / 64));
    std::atomic<bool> failed{false};
    auto renderBand = [&](Poppler::Document* doc, int band) {
        const int y0 = int(qint64(height) * band / bands);
        const int y1 = int(qint64(height) * (band + 1) / bands);
        std::unique_ptr<Poppler::Page> p = pageOf(doc, page);
        QImage img = p ? p->renderToImage(xres, yres, 0, y0, width, y1 - y0) : QImage();
        if (img.isNull() || img.depth() != 32 || img.width() != width || img.height() != y1 - y0) {
            failed = true;
            return;
        }
        if (grey) {
            toGrey(img, out.scanLine(y0), out.bytesPerLine());
        } else {
            toRgb(img, out.scanLine(y0), out.bytesPerLine());
        }
    };
    // Every band on a worker; this thread ticks every 40 ms until they are all done.
    std::mutex mutex;
    std::condition_variable finished;
    int running = bands;
    std::vector<std::thread> workers;
    for (int b = 0; b < bands; ++b) {
        Poppler::Document* doc = b == 0 ? d.doc.get() : d.bandDocs[b - 1].get();
        workers.emplace_back([&, doc, b] {
            renderBand(doc, b);
            std::lock_guard<std::mutex> lock(mutex);
            --running;
            finished.notify_all();
        });
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (finished.wait_for(lock, std::chrono::milliseconds(40), [&] { return running == 0; }))
                break;
        }
        tick();
    }
    for (std::thread& w : workers) w.join();
    return failed ? QImage() : out;
}

bool writeTiff(const QImage& image, const QString& hostPath, int xres, int yres, bool grey,
               int compression) {
    TIFF* tif = TIFFOpen(QFile::encodeName(hostPath).constData(), "w");
    if (!tif) return false;
    const int channels = grey ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 uint16_t(grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB));
    TIFFSetField(tif, TIFFTAG_COMPRESSION,
                 uint16_t(compression == kTifDeflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(xres));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(yres));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y) {
        ok = TIFFWriteScanline(tif, const_cast<uchar*>(image.constScanLine(y)), uint32_t(y), 0) >= 0;
    }
    TIFFClose(tif);
    if (!ok) QFile::remove(hostPath);
    return ok;
}

}  // namespace

int OpenPDF(const QString& path, const QString& password) {
    const QString host = win::toHostPath(path);
    if (host.isEmpty() || !QFile::exists(host)) return 0;
    const QByteArray pw = win::toAnsi(password);
    std::unique_ptr<Poppler::Document> doc = loadDocument(host, pw);
    if (!doc) return 0;
    static int next = 0;
    const int handle = ++next;
    auto entry = std::make_shared<OpenDocument>();
    entry->hostPath = host;
    entry->password = pw;
    entry->doc = std::move(doc);
    documents()[handle] = entry;
    return handle;
}

int GetPageNum(int handle) {
    auto d = find(handle);
    return d ? d->doc->numPages() : 0;
}

int GetPageWidth(int handle, int page) {
    auto d = find(handle);
    auto p = pageOf(d ? d->doc.get() : nullptr, page);
    return p ? qRound(p->pageSizeF().width()) : 0;
}

int GetPageHeight(int handle, int page) {
    auto d = find(handle);
    auto p = pageOf(d ? d->doc.get() : nullptr, page);
    return p ? qRound(p->pageSizeF().height()) : 0;
}

void ClosePDF(int handle) { documents().erase(handle); }

QString tifFileName(const QString& prefix, int page) {
    return prefix + QStringLiteral("%1").arg(page, 4, 10, QLatin1Char('0')) + ".tif";
}

int ExportTIF(int handle, const QString& folder, const QString& prefix, int xres, int yres,
              int firstPage, int lastPage, ExportProgressProc progress, int colour,
              int compression) {
    // Held for the whole export: the callback pumps messages, and a handler may close the handle.
    std::shared_ptr<OpenDocument> d = find(handle);
    if (!d || d->exporting || xres <= 0 || yres <= 0) return -1;
    d->exporting = true;
    while (int(d->bandDocs.size()) < bandCount() - 1) {
        std::unique_ptr<Poppler::Document> extra = loadDocument(d->hostPath, d->password);
        if (!extra) break;
        d->bandDocs.push_back(std::move(extra));
    }
    const bool grey = colour == kTifGrey;
    const int total = lastPage >= firstPage ? lastPage - firstPage + 1 : 0;
    int written = 0;
    for (int page = firstPage; page <= lastPage; ++page) {
        if (progress) progress(page, written, total);
        const QImage image = renderPage(*d, page, xres, yres, grey, [&] {
            if (progress) progress(page, written, total);
        });
        if (image.isNull()) continue;
        if (writeTiff(image, win::toHostPath(folder + tifFileName(prefix, page)), xres, yres, grey,
                      compression)) {
            ++written;
        }
        if (progress) progress(page, written, total);
    }
    d->exporting = false;
    return written;
}

}  // namespace pdfrender
