#pragma once
// The page renderer: documents are opened by path and password and addressed by a handle;
// pages are exported as TIFF images. Paths are Windows paths. No call raises: failures are
// results (0 handle, 0 sizes, -1 from ExportTIF).
#include <QString>

namespace pdfrender {

// Called while pages are exported (before, during and after each page's rendering).
// Arguments: the page being exported, the pages done so far, the pages asked for.
using ExportProgressProc = int (*)(int page, int done, int total);

// Opens a document; 0 when it cannot be opened (also at once when it is no regular file) or the
// password does not unlock it.
int OpenPDF(const QString& path, const QString& password);
// Number of pages; 0 for an unknown handle.
int GetPageNum(int handle);
// Size of a page (counted from 1) in points, rounded; 0 for an unknown handle or page.
int GetPageWidth(int handle, int page);
int GetPageHeight(int handle, int page);
// Releases the document; an unknown handle is ignored.
void ClosePDF(int handle);

// Colour modes of ExportTIF.
enum TifColour { kTifRgb = 0, kTifGrey = 1 };
// Compression of ExportTIF.
enum TifCompression { kTifUncompressed = 0, kTifDeflate = 1 };

// The most pixels a page image may have, and the most a side may have (the engine reads no
// wider or taller image).
constexpr long long kMaxImagePixels = 1LL << 28;
constexpr int kMaxImageSide = 32767;

// Why a page was not exported.
struct ExportFailure {
    enum Kind { None, NoSuchPage, TooLarge, NotRendered, NotWritten } kind = None;
    int page = 0;
    // In words for a message: the image size for TooLarge, the system's error text for
    // NotWritten.
    QString detail;
};

// Writes pages firstPage..lastPage as folder + prefix + page number formatted "0000" + ".tif",
// 8 bits per channel at xres by yres dots per inch. Returns the number of pages written, -1 for
// an unknown handle. Pages outside the document, pages whose image would be beyond the bounds
// above, and pages that cannot be rendered or written are skipped; `failure`, when given, tells
// of the first of them.
int ExportTIF(int handle, const QString& folder, const QString& prefix, int xres, int yres,
              int firstPage, int lastPage, ExportProgressProc progress, int colour,
              int compression, ExportFailure* failure = nullptr);

// Name of the file a page is exported to: prefix + page formatted "0000" + ".tif".
QString tifFileName(const QString& prefix, int page);

// Why OpenPDF gives 0 for a document, in words for a message ("the password does not open it",
// ...). It looks without waiting: a file that is not a regular one is not read.
QString OpenFailure(const QString& path);

}  // namespace pdfrender
