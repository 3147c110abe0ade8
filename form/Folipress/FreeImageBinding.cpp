#include "FreeImageBinding.h"

#include <FreeImage.h>

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

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

quint32 le16(const uchar* p) { return quint32(p[0]) | quint32(p[1]) << 8; }
quint32 be16(const uchar* p) { return quint32(p[0]) << 8 | quint32(p[1]); }
quint32 be32(const uchar* p) { return be16(p) << 16 | be16(p + 2); }

// The library reads no GIF header alone: the size of the first frame, the picture it decodes.
PictureSize gifSize(const QByteArray& d) {
    PictureSize size;
    const auto* p = reinterpret_cast<const uchar*>(d.constData());
    const qsizetype n = d.size();
    if (n < 13 || !d.startsWith("GIF")) return size;
    qsizetype i = 13;
    if (p[10] & 0x80) i += 3LL << ((p[10] & 7) + 1);  // global colour table
    while (i < n) {
        if (p[i] == 0x2C) {  // image descriptor
            if (i + 9 > n) return size;
            size.known = true;
            size.width = le16(p + i + 5);
            size.height = le16(p + i + 7);
            return size;
        }
        if (p[i] != 0x21 || i + 2 > n) return size;  // only extensions come before it
        i += 2;
        while (i < n && p[i] != 0) i += p[i] + 1;  // sub-blocks up to the empty one
        ++i;
    }
    return size;
}

// Nor an IFF header: the bitmap header chunk of an ILBM or PBM form.
PictureSize iffSize(const QByteArray& d) {
    PictureSize size;
    const auto* p = reinterpret_cast<const uchar*>(d.constData());
    const qsizetype n = d.size();
    if (n < 12 || !d.startsWith("FORM")) return size;
    for (qsizetype i = 12; i + 8 <= n;) {
        const quint32 length = be32(p + i + 4);
        if (d.mid(i, 4) == "BMHD") {
            if (i + 12 > n) return size;
            size.known = true;
            size.width = be16(p + i + 8);
            size.height = be16(p + i + 10);
            return size;
        }
        i += 8 + qsizetype(length) + (length & 1);
    }
    return size;
}

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
    const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(hostName(winPath).constData(), 0);
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) return kUnknown;
    return int(fif);
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
    // The headers read here lie within the first megabyte (a GIF's colour table and extensions
    // before its first frame, an IFF's chunks before the bitmap header). Other formats whose
    // size the library cannot read alone stay unknown, and are not converted.
    QFile file(win::toHostPath(winPath));
    if (!file.open(QIODevice::ReadOnly)) return PictureSize();
    const QByteArray head = file.read(1 << 20);
    if (fif == FIF_GIF) return gifSize(head);
    if (fif == FIF_IFF) return iffSize(head);
    return PictureSize();
}

Converted ConvertToBmp(int format, const QString& sourceWinPath, const QString& bmpWinPath) {
    ensureLibrary();
    Converted result;
    const PictureSize size = SizeFromHeader(format, sourceWinPath);
    result.header = size;
    if (!size.known) return result;
    if (size.tooLarge()) {
        result.tooLarge = true;
        return result;
    }
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
