#include "pdfwrite/PdfBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <hpdf.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pdfwrite/PageImage.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

using namespace pdfbox;

namespace {

std::string& lastError() {
    static std::string text;
    return text;
}

int32_t fail(const std::string& text) {
    lastError() = text;
    return -1;
}

std::string inQuotes(const std::string& ansiName) { return "\"" + ansiName + "\""; }

QString hostPathOf(const std::string& ansiName) {
    return win::toHostPath(win::fromAnsi(QByteArray::fromStdString(ansiName)));
}

struct HaruError {
    HPDF_STATUS code = 0;
    HPDF_STATUS detail = 0;
};

void onHaruError(HPDF_STATUS code, HPDF_STATUS detail, void* user) {
    auto* e = static_cast<HaruError*>(user);
    e->code = code;
    e->detail = detail;
}

std::string haruText(const HaruError& e) {
    const char* what = nullptr;
    switch (e.code) {
        case HPDF_FAILD_TO_ALLOC_MEM: what = "out of memory"; break;
        case HPDF_PAGE_INVALID_SIZE: what = "page size out of range"; break;
        case HPDF_INVALID_JPEG_DATA:
        case HPDF_UNSUPPORTED_JPEG_FORMAT: what = "unusable JPEG data"; break;
        case HPDF_ZLIB_ERROR: what = "compression failed"; break;
        case HPDF_FILE_OPEN_ERROR:
        case HPDF_FILE_IO_ERROR: what = "the file cannot be written"; break;
        case HPDF_INVALID_PARAMETER: what = "invalid parameter"; break;
        default: break;
    }
    char code[64];
    std::snprintf(code, sizeof code, "error 0x%04X, detail %u", unsigned(e.code), unsigned(e.detail));
    return std::string("PDF library failure (") + (what ? std::string(what) + ", " : "") + code + ")";
}

struct Box {
    std::string outputFile;
    std::string creator;
    int32_t bold = 0;
    int32_t color = 0;
    int32_t fontSize = 10;
    int32_t unit = kPoints;
    int32_t pageHeight = 842;
    int32_t pageWidth = 595;
    int32_t deferNameCheck = 0;
    int32_t quality = 75;
    int32_t pictureCompression = kPictureJpeg;
    int32_t streamCompression = 0;

    HaruError haru;
    HPDF_Doc doc = nullptr;
    HPDF_Page page = nullptr;
    double pageHeightPt = 0;

    ~Box() { closeDoc(); }
    void closeDoc() {
        if (doc) HPDF_Free(doc);
        doc = nullptr;
        page = nullptr;
    }
    double toPoints(int32_t v) const {
        switch (unit) {
            case kMillimetres: return v * 72.0 / 25.4;
            case kTenthMillimetres: return v * 72.0 / 254.0;
            default: return v;
        }
    }
};

std::map<int32_t, std::unique_ptr<Box>>& boxes() {
    static std::map<int32_t, std::unique_ptr<Box>> table;
    return table;
}

Box* findBox(int32_t handle) {
    auto it = boxes().find(handle);
    return it == boxes().end() ? nullptr : it->second.get();
}

int32_t noBox(int32_t handle) { return fail("Invalid box handle " + std::to_string(handle)); }

// The output file's folder must exist; the file itself is written only at EndDoc.
int32_t checkOutputName(const Box& b) {
    if (b.outputFile.empty()) return 0;
    const QFileInfo target(hostPathOf(b.outputFile));
    if (!target.absoluteDir().exists()) {
        return fail("The folder of the output file " + inQuotes(b.outputFile) + " does not exist");
    }
    if (target.isDir()) return fail("The output file " + inQuotes(b.outputFile) + " is a folder");
    return 0;
}

int32_t inRange(int32_t value, int32_t lo, int32_t hi, int32_t id, const char* what) {
    if (value < lo || value > hi) {
        return fail(std::string(what) + " (property " + std::to_string(id) + ") must be " +
                    std::to_string(lo) + " to " + std::to_string(hi) + ", not " + std::to_string(value));
    }
    return 0;
}

}  // namespace

int32_t CreateBox(intptr_t /*ownerWindow*/, int32_t /*flags*/) {
    static int32_t next = 0;
    if (next == INT32_MAX) return fail("No more boxes can be made");
    boxes()[++next] = std::make_unique<Box>();
    return next;
}

int32_t SetNumProp(int32_t handle, int32_t id, int32_t value) {
    Box* b = findBox(handle);
    if (!b) return noBox(handle);
    switch (id) {
        case kTextBold:
            if (inRange(value, 0, 1, id, "The bold setting") < 0) return -1;
            b->bold = value;
            return 0;
        case kTextColor:
            if (inRange(value, 0, 0xFFFFFF, id, "The text colour") < 0) return -1;
            b->color = value;
            return 0;
        case kFontSize:
            if (inRange(value, 1, 1000, id, "The font size") < 0) return -1;
            b->fontSize = value;
            return 0;
        case kUnit:
            if (inRange(value, kPoints, kTenthMillimetres, id, "The unit") < 0) return -1;
            b->unit = value;
            return 0;
        case kPageHeight:
        case kPageWidth:
            if (value <= 0) {
                return fail(std::string(id == kPageWidth ? "The page width" : "The page height") +
                            " (property " + std::to_string(id) + ") must be above 0, not " +
                            std::to_string(value));
            }
            (id == kPageWidth ? b->pageWidth : b->pageHeight) = value;
            return 0;
        case kDeferNameCheck:
            if (inRange(value, 0, 1, id, "The output-name check") < 0) return -1;
            b->deferNameCheck = value;
            return value == 0 ? checkOutputName(*b) : 0;
        case kJpegQuality:
            if (inRange(value, 0, 100, id, "The JPEG quality") < 0) return -1;
            b->quality = value;
            return 0;
        case kPictureCompression:
            if (inRange(value, 0, 2, id, "The picture compression") < 0) return -1;
            b->pictureCompression = value;
            return 0;
        case kStreamCompression:
            if (inRange(value, 0, 2, id, "The stream compression") < 0) return -1;
            b->streamCompression = value;
            return 0;
        default:
            return fail("Unknown number property " + std::to_string(id));
    }
}

int32_t SetStrProp(int32_t handle, int32_t id, const char* text) {
    Box* b = findBox(handle);
    if (!b) return noBox(handle);
    const std::string value = text ? text : "";
    switch (id) {
        case kOutputFile:
            b->outputFile = value;
            return b->deferNameCheck ? 0 : checkOutputName(*b);
        case kCreator:
            b->creator = value;
            return 0;
        default:
            return fail("Unknown text property " + std::to_string(id));
    }
}

int32_t BeginDoc(int32_t handle) {
    Box* b = findBox(handle);
    if (!b) return noBox(handle);
    if (b->doc) return fail("BeginDoc was called again before EndDoc");
    // The picture of a scan a few pixels narrow still gets its page.
    const double w = std::max(3.0, b->toPoints(b->pageWidth));
    const double h = std::max(3.0, b->toPoints(b->pageHeight));
    if (w > 14400 || h > 14400) {
        char size[96];
        std::snprintf(size, sizeof size, "%.1f x %.1f", w, h);
        return fail(std::string("The page size ") + size +
                    " points is beyond the PDF limit of 14400 points a side");
    }
    b->haru = {};
    b->doc = HPDF_New(onHaruError, &b->haru);
    if (!b->doc) return fail("PDF library failure (out of memory)");
    HPDF_UINT mode = HPDF_COMP_NONE;
    if (b->streamCompression >= 1) mode |= HPDF_COMP_TEXT;
    if (b->streamCompression >= 2) mode |= HPDF_COMP_METADATA;
    if (b->pictureCompression == kPictureFlate) mode |= HPDF_COMP_IMAGE;
    HPDF_SetCompressionMode(b->doc, mode);
    if (!b->creator.empty()) HPDF_SetInfoAttr(b->doc, HPDF_INFO_CREATOR, b->creator.c_str());
    b->page = HPDF_AddPage(b->doc);
    if (b->page) {
        HPDF_Page_SetWidth(b->page, HPDF_REAL(w));
        HPDF_Page_SetHeight(b->page, HPDF_REAL(h));
    }
    if (!b->page || b->haru.code) {
        const std::string text = haruText(b->haru);
        b->closeDoc();
        return fail(text);
    }
    b->pageHeightPt = h;
    return 0;
}

int32_t StretchDrawFromFile(int32_t handle, int32_t x, int32_t y, int32_t width, int32_t height,
                            const char* fileName) {
    Box* b = findBox(handle);
    if (!b) return noBox(handle);
    if (!b->doc) return fail("StretchDrawFromFile needs BeginDoc first");
    const std::string name = fileName ? fileName : "";
    if (width <= 0 || height <= 0) return fail("The picture's width and height must be above 0");

    std::string why;
    std::unique_ptr<PagePicture> picture = PagePicture::open(hostPathOf(name).toStdString(), why);
    if (!picture) return fail(why + ": " + inQuotes(name));
    HPDF_Image image = nullptr;
    if (b->pictureCompression == kPictureJpeg) {
        JpegBytes jpeg;
        const bool ok = pdfbox::encodeJpeg(*picture, b->quality, jpeg, why);
        picture.reset();
        if (!ok) return fail(why + ": " + inQuotes(name));
        image = HPDF_LoadJpegImageFromMem(b->doc, jpeg.data.get(), HPDF_UINT(jpeg.size));
    } else {
        const std::vector<unsigned char> rows = pdfbox::pixelRows(*picture);
        if (rows.empty()) return fail("The picture file cannot be read: " + inQuotes(name));
        image = HPDF_LoadRawImageFromMem(b->doc, rows.data(), picture->width(), picture->height(),
                                         picture->grey() ? HPDF_CS_DEVICE_GRAY : HPDF_CS_DEVICE_RGB, 8);
    }
    if (!image) return fail(haruText(b->haru));
    const double wpt = b->toPoints(width);
    const double hpt = b->toPoints(height);
    HPDF_Page_DrawImage(b->page, image, HPDF_REAL(b->toPoints(x)),
                        HPDF_REAL(b->pageHeightPt - b->toPoints(y) - hpt), HPDF_REAL(wpt),
                        HPDF_REAL(hpt));
    if (b->haru.code) return fail(haruText(b->haru));
    return 0;
}

int32_t TextOut(int32_t handle, int32_t x, int32_t y, const char* text) {
    Box* b = findBox(handle);
    if (!b) return noBox(handle);
    if (!b->doc) return fail("TextOut needs BeginDoc first");
    HPDF_Font font = HPDF_GetFont(b->doc, b->bold ? "Helvetica-Bold" : "Helvetica", "WinAnsiEncoding");
    if (!font) return fail(haruText(b->haru));
    const double size = b->fontSize;
    const int32_t c = b->color;
    HPDF_Page_BeginText(b->page);
    HPDF_Page_SetFontAndSize(b->page, font, HPDF_REAL(size));
    HPDF_Page_SetRGBFill(b->page, HPDF_REAL((c & 0xFF) / 255.0), HPDF_REAL(((c >> 8) & 0xFF) / 255.0),
                         HPDF_REAL(((c >> 16) & 0xFF) / 255.0));
    // (x, y) is the top of the text line; the baseline lies one ascent lower.
    const double ascent = HPDF_Font_GetAscent(font) * size / 1000.0;
    HPDF_Page_TextOut(b->page, HPDF_REAL(b->toPoints(x)),
                      HPDF_REAL(b->pageHeightPt - b->toPoints(y) - ascent), text ? text : "");
    HPDF_Page_EndText(b->page);
    if (b->haru.code) return fail(haruText(b->haru));
    return 0;
}

int32_t EndDoc(int32_t handle) {
    Box* b = findBox(handle);
    if (!b) return noBox(handle);
    if (!b->doc) return fail("EndDoc needs BeginDoc first");
    if (b->outputFile.empty()) {
        b->closeDoc();
        return fail("No output file was set (property 10)");
    }
    // Written beside the target and renamed over it, so a failed write never leaves half a file;
    // a working folder is never written through a link. The library writes the side file
    // itself, reached through the descriptor made for it, so the page's picture is not copied
    // once more on its way.
    try {
        win::FileReplacement out(win::fromAnsi(QByteArray::fromStdString(b->outputFile)));
        const std::string self = "/proc/self/fd/" + std::to_string(out.fd());
        if (HPDF_SaveToFile(b->doc, self.c_str()) != HPDF_OK) {
            const std::string text = haruText(b->haru);
            b->closeDoc();
            return fail("Cannot write the output file " + inQuotes(b->outputFile) + ": " + text);
        }
        b->closeDoc();
        out.commit();
    } catch (const win::RuntimeError& e) {
        b->closeDoc();
        return fail("Cannot write the output file " + inQuotes(b->outputFile) + ": " +
                    e.description().toStdString());
    }
    return 0;
}

int32_t FreeBox(int32_t handle) {
    if (boxes().erase(handle) == 0) return noBox(handle);
    return 0;
}

int32_t GetErrorMsg(char* buffer, int32_t size) {
    if (!buffer || size <= 0) return -1;
    const std::string& text = lastError();
    const size_t n = std::min(text.size(), size_t(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return int32_t(n);
}
