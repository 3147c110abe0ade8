#include "FreeImageBinding.h"

#include <FreeImage.h>

#include <QFileInfo>

#include "win/CodePage.h"
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

// The 24-bit form of any bitmap: 16-bit channels and other pixel types become 8-bit, and
// transparent pictures are laid on white.
FIBITMAP* flatten(FIBITMAP* dib) {
    FIBITMAP* work = dib;
    if (FreeImage_GetImageType(work) != FIT_BITMAP) {
        FIBITMAP* std8 = FreeImage_ConvertToStandardType(work, TRUE);
        if (!std8) std8 = FreeImage_ConvertTo24Bits(work);
        if (!std8) return nullptr;
        work = std8;
    }
    FIBITMAP* out = nullptr;
    if (FreeImage_IsTransparent(work) || FreeImage_GetBPP(work) == 32) {
        RGBQUAD white = {255, 255, 255, 0};
        FIBITMAP* rgba = FreeImage_GetBPP(work) == 32 ? work : FreeImage_ConvertTo32Bits(work);
        if (rgba) out = FreeImage_Composite(rgba, FALSE, &white, nullptr);
        if (rgba && rgba != work) FreeImage_Unload(rgba);
    }
    if (!out) out = FreeImage_GetBPP(work) == 24 ? FreeImage_Clone(work) : FreeImage_ConvertTo24Bits(work);
    if (work != dib) FreeImage_Unload(work);
    return out;
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

Converted ConvertToBmp(int format, const QString& sourceWinPath, const QString& bmpWinPath) {
    ensureLibrary();
    Converted result;
    FreeImage_SetOutputMessage(onLibraryMessage);
    loadMessages() = 0;
    FIBITMAP* dib = FreeImage_Load(FREE_IMAGE_FORMAT(format), hostName(sourceWinPath).constData(), 0);
    const bool damaged = format == kJpeg && loadMessages() > 0;
    FreeImage_SetOutputMessage(nullptr);
    if (!dib) return result;
    if (damaged) {
        FreeImage_Unload(dib);
        return result;
    }
    FIBITMAP* rgb = flatten(dib);
    FreeImage_Unload(dib);
    if (!rgb) return result;
    result.width = int(FreeImage_GetWidth(rgb));
    result.height = int(FreeImage_GetHeight(rgb));
    result.ok = FreeImage_Save(FIF_BMP, rgb, hostName(bmpWinPath).constData(), 0) == TRUE;
    FreeImage_Unload(rgb);
    return result;
}

}  // namespace FreeImageBinding
