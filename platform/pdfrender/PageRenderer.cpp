#include "pdfrender/PageRenderer.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>

#include <poppler-qt6.h>
// Poppler's own rasteriser, as pdftoppm drives it: it renders straight into 8-bit grey.
#include <GfxState.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <SplashOutputDev.h>
#include <goo/GooString.h>
#include <splash/SplashBitmap.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

namespace pdfrender {

namespace {

// A page is rendered in horizontal bands on up to four threads, each band by a rasteriser of
// its own (a poppler document is not shared between threads).
int bandCount() { return qBound(1, QThread::idealThreadCount(), 4); }

void ensureGlobalParams() {
    // Shares poppler's reference count with the viewer's documents; poppler's complaints about
    // damaged files are the results of the calls here, not messages.
    static GlobalParamsIniter initer([](ErrorCategory, Goffset, const char*) {});
    // Poppler fills its shared colour profiles (static pointers) in the first graphics state it
    // makes, without a lock. Band threads that make their first states at once race on them and
    // free a profile twice, so the first state is made here, on the calling thread, once.
    static const bool profilesReady = [] {
        const PDFRectangle box(0, 0, 1, 1);
        const GfxState state(72.0, 72.0, &box, 0, false);
        return true;
    }();
    (void)profilesReady;
}

struct Rasterizer {
    std::unique_ptr<PDFDoc> doc;
    std::unique_ptr<SplashOutputDev> out;
    bool grey = true;
};

struct OpenDocument {
    QString hostPath;
    QByteArray password;
    std::unique_ptr<Poppler::Document> doc;
    // Opened at the first export and kept until ClosePDF, so fonts stay loaded between pages.
    std::vector<std::unique_ptr<Rasterizer>> rasterizers;
    bool exporting = false;
};

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

std::unique_ptr<Rasterizer> openRasterizer(const OpenDocument& d) {
    ensureGlobalParams();
    const std::optional<GooString> pw(std::in_place, d.password.constData(), d.password.size());
    auto r = std::make_unique<Rasterizer>();
    r->doc = std::make_unique<PDFDoc>(
        std::make_unique<GooString>(QFile::encodeName(d.hostPath).constData()), pw, pw);
    if (!r->doc->isOk()) return nullptr;
    return r;
}

void prepareOutput(Rasterizer& r, bool grey) {
    if (r.out && r.grey == grey) return;
    SplashColor paper;
    paper[0] = paper[1] = paper[2] = 0xff;
    r.out = std::make_unique<SplashOutputDev>(grey ? splashModeMono8 : splashModeRGB8, 4, false,
                                              paper, true);
    r.out->setFontAntialias(true);
    r.out->setVectorAntialias(true);
    r.out->startDoc(r.doc.get());
    r.grey = grey;
}

// The rows of the page image the bands write into; taken on the window thread, so no band
// touches the QImage object itself.
struct Rows {
    uchar* bits;
    qsizetype stride;
    int width;
};

// Renders rows y0..y1 of the page into the same rows of the page image.
bool renderBand(Rasterizer& r, int page, int xres, int yres, int y0, int y1, const Rows& rows) {
    r.doc->displayPageSlice(r.out.get(), page, xres, yres, 0, false, true, false, 0, y0,
                            rows.width, y1 - y0);
    SplashBitmap* bitmap = r.out->getBitmap();
    const int bytes = rows.width * (r.grey ? 1 : 3);
    if (!bitmap || bitmap->getWidth() != rows.width || bitmap->getHeight() != y1 - y0 ||
        bitmap->getRowSize() < bytes) {
        return false;
    }
    for (int y = y0; y < y1; ++y) {
        std::memcpy(rows.bits + qsizetype(y) * rows.stride,
                    bitmap->getDataPtr() + qsizetype(y - y0) * bitmap->getRowSize(), bytes);
    }
    return true;
}

// Renders one page in bands on worker threads; the calling (window) thread calls `tick` every
// 40 ms until they are done. A null image when it is not rendered, with the reason in `why`.
QImage renderPage(OpenDocument& d, int page, int xres, int yres, bool grey,
                  const std::function<void()>& tick, ExportFailure& why) {
    PDFDoc* doc = d.rasterizers.front()->doc.get();
    why.page = page;
    if (page < 1 || page > doc->getNumPages()) {
        why.kind = ExportFailure::NoSuchPage;
        return QImage();
    }
    double w = doc->getPageCropWidth(page), h = doc->getPageCropHeight(page);
    if (doc->getPageRotate(page) % 180 != 0) std::swap(w, h);
    const double wPixels = w * xres / 72.0 + 0.5, hPixels = h * yres / 72.0 + 0.5;
    // A page box beyond these (damaged, hostile, or a poster) would cost gigabytes of memory
    // and disk here and in the engine, which reads no image wider or taller than a side's bound.
    if (!(wPixels < kMaxImageSide + 1.0 && hPixels < kMaxImageSide + 1.0 &&
          std::floor(wPixels) * std::floor(hPixels) <= double(kMaxImagePixels))) {
        why.kind = ExportFailure::TooLarge;
        why.detail = QString("%1 x %2 pixels at %3 x %4 dpi")
                         .arg(std::floor(wPixels), 0, 'f', 0)
                         .arg(std::floor(hPixels), 0, 'f', 0)
                         .arg(xres)
                         .arg(yres);
        return QImage();
    }
    why.kind = ExportFailure::NotRendered;
    const int width = qMax(1, int(wPixels));
    const int height = qMax(1, int(hPixels));
    QImage image(width, height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) return QImage();

    const Rows rows{image.bits(), image.bytesPerLine(), width};
    const int bands = qMin(int(d.rasterizers.size()), qMax(1, height / 64));
    for (int b = 0; b < bands; ++b) prepareOutput(*d.rasterizers[b], grey);
    std::mutex mutex;
    std::condition_variable finished;
    int running = bands;
    bool ok = true;
    std::vector<std::thread> workers;
    for (int b = 0; b < bands; ++b) {
        workers.emplace_back([&, b] {
            const int y0 = int(qint64(height) * b / bands);
            const int y1 = int(qint64(height) * (b + 1) / bands);
            const bool done = renderBand(*d.rasterizers[b], page, xres, yres, y0, y1, rows);
            std::lock_guard<std::mutex> lock(mutex);
            ok = ok && done;
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
    for (std::thread& t : workers) t.join();
    if (!ok) return QImage();
    why.kind = ExportFailure::None;
    return image;
}

// The TIFF library writes through these, so that a failed write keeps the system's reason.
struct TiffSink {
    int fd;
    int error = 0;
};

tmsize_t tiffRead(thandle_t h, void* data, tmsize_t size) {
    return ::read(static_cast<TiffSink*>(h)->fd, data, size_t(size));
}

tmsize_t tiffWrite(thandle_t h, void* data, tmsize_t size) {
    auto* sink = static_cast<TiffSink*>(h);
    const int error = win::writeAll(sink->fd, static_cast<const char*>(data), size);
    if (error == 0) return size;
    if (sink->error == 0) sink->error = error;
    return -1;
}

toff_t tiffSeek(thandle_t h, toff_t offset, int whence) {
    return toff_t(::lseek(static_cast<TiffSink*>(h)->fd, off_t(offset), whence));
}

int tiffClose(thandle_t) { return 0; }  // the replacement owns the descriptor

toff_t tiffSize(thandle_t h) {
    struct stat st;
    return ::fstat(static_cast<TiffSink*>(h)->fd, &st) == 0 ? toff_t(st.st_size) : 0;
}

int tiffMap(thandle_t, void**, toff_t*) { return 0; }
void tiffUnmap(thandle_t, void*, toff_t) {}

// The file is made beside its name and renamed onto it once whole; a working folder is never
// written through a link. Returns the reason it could not be written, empty when it was.
QString writeTiff(const QImage& image, const QString& winPath, int xres, int yres, bool grey,
                  int compression) {
    std::optional<win::FileReplacement> out;
    try {
        out.emplace(winPath);
    } catch (const win::RuntimeError& e) {
        return e.description();
    }
    TiffSink sink{out->fd()};
    TIFF* tif = TIFFClientOpen(QFile::encodeName(winPath).constData(), "w", &sink, tiffRead,
                               tiffWrite, tiffSeek, tiffClose, tiffSize, tiffMap, tiffUnmap);
    if (!tif) return QStringLiteral("the image file could not be opened for writing");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(grey ? 1 : 3));
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
    ok = TIFFFlush(tif) == 1 && ok;
    TIFFClose(tif);
    if (sink.error != 0) return win::systemErrorText(sink.error);
    if (!ok) return QStringLiteral("the image could not be encoded");
    try {
        out->commit();
    } catch (const win::RuntimeError& e) {
        return e.description();
    }
    return QString();
}

}  // namespace

int OpenPDF(const QString& path, const QString& password) {
    const QString host = win::toHostPath(path);
    // Only a regular file: opening a pipe without a writer (or a device) would wait for ever.
    if (host.isEmpty() || !QFileInfo(host).isFile()) return 0;
    ensureGlobalParams();
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(host);
    if (!doc) return 0;
    // The password's bytes depend on the document's encryption: the 8-bit code page for the
    // older forms, UTF-8 for AES-256. The viewer tries the same forms, so a document it opened
    // renders here too.
    QByteArray pw;
    if (doc->isLocked()) {
        for (const QByteArray& candidate :
             {win::toAnsi(password), password.toUtf8(), password.toLatin1()}) {
            doc->unlock(candidate, candidate);
            if (!doc->isLocked()) {
                pw = candidate;
                break;
            }
        }
        if (doc->isLocked()) return 0;
    }
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
              int compression, ExportFailure* failure) {
    // Held for the whole export: the callback pumps messages, and a handler may close the handle.
    std::shared_ptr<OpenDocument> d = find(handle);
    if (failure) *failure = ExportFailure();
    if (!d || d->exporting || xres <= 0 || yres <= 0) return -1;
    while (int(d->rasterizers.size()) < bandCount()) {
        std::unique_ptr<Rasterizer> r = openRasterizer(*d);
        if (!r) break;
        d->rasterizers.push_back(std::move(r));
    }
    if (d->rasterizers.empty()) return -1;
    d->exporting = true;
    const bool grey = colour == kTifGrey;
    const int total = lastPage >= firstPage ? lastPage - firstPage + 1 : 0;
    int written = 0;
    auto note = [failure](const ExportFailure& why) {
        if (failure && failure->kind == ExportFailure::None) *failure = why;
    };
    for (int page = firstPage; page <= lastPage; ++page) {
        if (progress) progress(page, written, total);
        ExportFailure why;
        const QImage image = renderPage(*d, page, xres, yres, grey, [&] {
            if (progress) progress(page, written, total);
        }, why);
        if (image.isNull()) {
            note(why);
            continue;
        }
        why.detail = writeTiff(image, folder + tifFileName(prefix, page), xres, yres, grey,
                               compression);
        if (why.detail.isEmpty()) {
            ++written;
        } else {
            why.kind = ExportFailure::NotWritten;
            note(why);
        }
        if (progress) progress(page, written, total);
    }
    d->exporting = false;
    return written;
}

QString OpenFailure(const QString& path) {
    // Opened without waiting for a writer, so that a pipe in its place cannot hold the run.
    const int fd = ::open(QFile::encodeName(win::toHostPath(path)).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return win::systemErrorText(errno);
    struct stat st;
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("it is not a regular file");
    }
    ensureGlobalParams();
    const std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(&file);
    if (!doc) return QStringLiteral("it is damaged or no PDF document");
    if (doc->isLocked()) return QStringLiteral("the password does not open it");
    return QStringLiteral("the renderer cannot read it");
}

}  // namespace pdfrender
