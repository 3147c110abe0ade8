#include "pdfrender/PageRenderer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <poppler-qt6.h>
#include <tiffio.h>

#include <map>
#include <memory>

#include "win/CodePage.h"
#include "win/WinPath.h"

namespace pdfrender {

namespace {

struct OpenDocument {
    std::unique_ptr<Poppler::Document> doc;
};

std::map<int, std::shared_ptr<OpenDocument>>& documents() {
    static std::map<int, std::shared_ptr<OpenDocument>> table;
    return table;
}

std::shared_ptr<OpenDocument> find(int handle) {
    auto it = documents().find(handle);
    return it == documents().end() ? nullptr : it->second;
}

std::unique_ptr<Poppler::Page> pageOf(const std::shared_ptr<OpenDocument>& d, int page) {
    if (!d || page < 1 || page > d->doc->numPages()) return nullptr;
    return d->doc->page(page - 1);
}

// Progress while poppler renders: the callback is called at most every 40 ms, so a long page
// keeps the window responsive without the pump slowing the rendering down.
struct RenderProgress {
    ExportProgressProc proc = nullptr;
    int page = 0, done = 0, total = 0;
    QElapsedTimer since;
};
RenderProgress* currentProgress = nullptr;

bool renderTick(const QVariant&) {
    RenderProgress* p = currentProgress;
    if (p && p->proc && p->since.elapsed() >= 40) {
        p->proc(p->page, p->done, p->total);
        p->since.restart();
    }
    return false;  // never abort
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
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(host, pw, pw);
    if (!doc || doc->isLocked()) return 0;
    doc->setRenderBackend(Poppler::Document::SplashBackend);
    doc->setRenderHint(Poppler::Document::Antialiasing, true);
    doc->setRenderHint(Poppler::Document::TextAntialiasing, true);
    static int next = 0;
    const int handle = ++next;
    documents()[handle] = std::make_shared<OpenDocument>(OpenDocument{std::move(doc)});
    return handle;
}

int GetPageNum(int handle) {
    auto d = find(handle);
    return d ? d->doc->numPages() : 0;
}

int GetPageWidth(int handle, int page) {
    auto p = pageOf(find(handle), page);
    return p ? qRound(p->pageSizeF().width()) : 0;
}

int GetPageHeight(int handle, int page) {
    auto p = pageOf(find(handle), page);
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
    if (!d || xres <= 0 || yres <= 0) return -1;
    const int total = lastPage >= firstPage ? lastPage - firstPage + 1 : 0;
    int written = 0;
    for (int page = firstPage; page <= lastPage; ++page) {
        RenderProgress rp{progress, page, written, total, {}};
        if (progress) progress(page, written, total);
        std::unique_ptr<Poppler::Page> p = pageOf(d, page);
        if (!p) continue;
        rp.since.start();
        RenderProgress* outer = currentProgress;
        currentProgress = &rp;
        QImage image = p->renderToImage(xres, yres, -1, -1, -1, -1, Poppler::Page::Rotate0,
                                        nullptr, nullptr, renderTick, QVariant());
        currentProgress = outer;
        if (image.isNull()) continue;
        const bool grey = colour == kTifGrey;
        image = image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        if (writeTiff(image, win::toHostPath(folder + tifFileName(prefix, page)), xres, yres, grey,
                      compression)) {
            ++written;
        }
        if (progress) progress(page, written, total);
    }
    return written;
}

}  // namespace pdfrender
