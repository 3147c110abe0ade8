#include "FreeImageBinding.h"

#include <FreeImage.h>

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include "PictureHeader.h"
#include "pdfwrite/PageImage.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

namespace FreeImageBinding {

namespace {

void ensureLibrary() {
    static const bool ready = [] {
        FreeImage_Initialise(FALSE);
        return true;
    }();
    (void)ready;
}

// Messages of the JPEG decoder that mean picture data is missing or broken; the rest (padding
// before a marker, an unknown JFIF revision, ...) leave a picture that decodes whole.
bool reportsLostData(const char* message) {
    static const char* const lost[] = {
        "Premature end of JPEG file", "premature end of data segment", "bad Huffman code",
        "bad arithmetic code", "instead of RST", "Corrupt JPEG data: found marker",
        "Inconsistent progression sequence",
    };
    const QByteArray text(message ? message : "");
    for (const char* l : lost)
        if (text.contains(l)) return true;
    return false;
}

// Messages of lost data the library reported while one load ran.
int& loadMessages() {
    static int n = 0;
    return n;
}

void onLibraryMessage(FREE_IMAGE_FORMAT, const char* message) {
    if (reportsLostData(message)) ++loadMessages();
}

QByteArray hostName(const QString& winPath) { return win::toHostPath(winPath).toLocal8Bit(); }

// FreeImage output into a file being replaced.
unsigned DLL_CALLCONV writeOut(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    try {
        static_cast<win::FileReplacement*>(handle)->write(static_cast<const char*>(buffer),
                                                          qint64(size) * count);
        return count;
    } catch (const win::RuntimeError&) {
        return 0;
    }
}
unsigned DLL_CALLCONV readOut(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    const ssize_t n = ::read(static_cast<win::FileReplacement*>(handle)->fd(), buffer,
                             size_t(size) * count);
    return n <= 0 || size == 0 ? 0 : unsigned(n / size);
}
int DLL_CALLCONV seekOut(fi_handle handle, long offset, int origin) {
    return ::lseek(static_cast<win::FileReplacement*>(handle)->fd(), offset, origin) < 0 ? -1 : 0;
}
long DLL_CALLCONV tellOut(fi_handle handle) {
    return long(::lseek(static_cast<win::FileReplacement*>(handle)->fd(), 0, SEEK_CUR));
}

// Saves the bitmap as a BMP, replacing the target; a working folder is never written through
// a link. The old file goes first: renaming a file over another makes the file system write the
// new one out to the disk at once, which for a page bitmap costs more than writing it.
bool saveBmp(FIBITMAP* dib, const QString& winPath) {
    win::skipOnError([&] { win::killFile(winPath); });
    try {
        win::FileReplacement out(winPath);
        FreeImageIO io{readOut, writeOut, seekOut, tellOut};
        if (FreeImage_SaveToHandle(FIF_BMP, dib, &io, &out, 0) != TRUE) return false;
        out.commit();
        return true;
    } catch (const win::RuntimeError&) {
        return false;
    }
}

}  // namespace

int FormatFromContent(const QString& winPath) {
    ensureLibrary();
    const QFileInfo info(win::toHostPath(winPath));
    if (!info.isFile() || info.size() == 0) return kUnknown;
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(hostName(winPath).constData(), 0);
    // A WBMP carries no signature: its extension names it, and reading its size checks its
    // header.
    if (fif == FIF_UNKNOWN && FreeImage_GetFIFFromFilename(hostName(winPath).constData()) == FIF_WBMP)
        fif = FIF_WBMP;
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) return kUnknown;
    return int(fif);
}

QString FormatName(int format) {
    return QString::fromLatin1(FreeImage_GetFormatFromFIF(FREE_IMAGE_FORMAT(format)));
}

PictureSize SizeFromHeader(int format, const QString& winPath) {
    ensureLibrary();
    const FREE_IMAGE_FORMAT fif = FREE_IMAGE_FORMAT(format);
    if (FreeImage_FIFSupportsNoPixels(fif)) {
        PictureSize size;
        FIBITMAP* header = FreeImage_Load(fif, hostName(winPath).constData(), FIF_LOAD_NOPIXELS);
        if (!header) return size;
        if (!FreeImage_HasPixels(header)) {  // the plug-in did read the header alone
            size.known = true;
            size.width = FreeImage_GetWidth(header);
            size.height = FreeImage_GetHeight(header);
        }
        FreeImage_Unload(header);
        return size;
    }
    if (!PictureHeader::Reads(format)) {
        PictureSize size;
        size.knowable = false;
        return size;
    }
    QFile file(win::toHostPath(winPath));
    if (!file.open(QIODevice::ReadOnly)) return PictureSize();
    PictureSource source(file.handle());
    return PictureHeader::Size(format, source);
}

Converted ConvertToBmp(int format, const QString& sourceWinPath, const QString& bmpWinPath) {
    ensureLibrary();
    Converted result;
    const PictureSize size = SizeFromHeader(format, sourceWinPath);
    result.header = size;
    if (!size.known || size.tooLarge()) return result;
    FreeImage_SetOutputMessage(onLibraryMessage);
    loadMessages() = 0;
    // JPEG pictures with the accurate inverse DCT: the library's default, the fast one, blurs
    // what the page keeps (about 11 dB less at full quality) and saves no time.
    FIBITMAP* dib = FreeImage_Load(FREE_IMAGE_FORMAT(format), hostName(sourceWinPath).constData(),
                                   format == kJpeg ? JPEG_ACCURATE : 0);
    const bool damaged = format == kJpeg && loadMessages() > 0;
    FreeImage_SetOutputMessage(nullptr);
    if (!dib) return result;
    if (damaged) {
        FreeImage_Unload(dib);
        return result;
    }
    FIBITMAP* page = pdfbox::pageForm(dib);
    if (page != dib) FreeImage_Unload(dib);
    if (!page) return result;
    result.width = int(FreeImage_GetWidth(page));
    result.height = int(FreeImage_GetHeight(page));
    result.grey = FreeImage_GetBPP(page) == 8;
    result.ok = saveBmp(page, bmpWinPath);
    FreeImage_Unload(page);
    return result;
}

}  // namespace FreeImageBinding
