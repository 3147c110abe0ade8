#include "pdfwrite/PageImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <QFileInfo>

namespace pdfbox {

namespace {

void ensureFreeImage() {
    static const bool ready = [] {
        FreeImage_Initialise(FALSE);
        return true;
    }();
    (void)ready;
}

// libjpeg reports fatal errors through a callback that must not return; the encoder below
// turns them into a failed result instead.
struct JpegFailure {
    jpeg_error_mgr base;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
    auto* f = reinterpret_cast<JpegFailure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, f->message);
    std::longjmp(f->back, 1);
}

}  // namespace

FIBITMAP* loadRgb24(const std::string& hostPath, std::string& error) {
    ensureFreeImage();
    if (!QFileInfo(QString::fromStdString(hostPath)).isFile()) {
        error = "The picture file does not exist";
        return nullptr;
    }
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(hostPath.c_str(), 0);
    if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(hostPath.c_str());
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) {
        error = "The file is not a picture this library can read";
        return nullptr;
    }
    FIBITMAP* dib = FreeImage_Load(fif, hostPath.c_str(), 0);
    if (!dib) {
        error = "The picture file cannot be read";
        return nullptr;
    }
    // 16-bit and floating-point pictures first become ordinary 8-bit-per-channel bitmaps.
    if (FreeImage_GetImageType(dib) != FIT_BITMAP) {
        FIBITMAP* std8 = FreeImage_ConvertToStandardType(dib, TRUE);
        if (!std8) {
            const FREE_IMAGE_TYPE t = FreeImage_GetImageType(dib);
            if (t == FIT_RGB16 || t == FIT_RGBA16) std8 = FreeImage_ConvertTo24Bits(dib);
        }
        FreeImage_Unload(dib);
        dib = std8;
        if (!dib) {
            error = "The picture's pixel format cannot be converted";
            return nullptr;
        }
    }
    FIBITMAP* rgb = nullptr;
    if (FreeImage_IsTransparent(dib) || FreeImage_GetBPP(dib) == 32) {
        RGBQUAD white = {255, 255, 255, 0};
        FIBITMAP* rgba = FreeImage_GetBPP(dib) == 32 ? dib : FreeImage_ConvertTo32Bits(dib);
        if (rgba) rgb = FreeImage_Composite(rgba, FALSE, &white, nullptr);
        if (rgba && rgba != dib) FreeImage_Unload(rgba);
    }
    if (!rgb) rgb = FreeImage_GetBPP(dib) == 24 ? FreeImage_Clone(dib) : FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    if (!rgb) error = "The picture's pixel format cannot be converted";
    return rgb;
}

std::vector<unsigned char> rgbRows(FIBITMAP* rgb24) {
    const unsigned w = FreeImage_GetWidth(rgb24);
    const unsigned h = FreeImage_GetHeight(rgb24);
    std::vector<unsigned char> out(size_t(w) * h * 3);
    for (unsigned y = 0; y < h; ++y) {
        // FreeImage keeps rows bottom-up, pixels in BGR order.
        const BYTE* src = FreeImage_GetScanLine(rgb24, int(h - 1 - y));
        unsigned char* dst = out.data() + size_t(y) * w * 3;
        for (unsigned x = 0; x < w; ++x) {
            dst[3 * x + 0] = src[3 * x + FI_RGBA_RED];
            dst[3 * x + 1] = src[3 * x + FI_RGBA_GREEN];
            dst[3 * x + 2] = src[3 * x + FI_RGBA_BLUE];
        }
    }
    return out;
}

bool encodeJpeg(FIBITMAP* rgb24, int quality, std::vector<unsigned char>& out, std::string& error) {
    const unsigned w = FreeImage_GetWidth(rgb24);
    const unsigned h = FreeImage_GetHeight(rgb24);
    if (FreeImage_GetBPP(rgb24) != 24 || w == 0 || h == 0 || w > 65500 || h > 65500) {
        error = "The picture is too large for a JPEG image (at most 65500 pixels a side)";
        return false;
    }
    jpeg_compress_struct cinfo;
    JpegFailure failure;
    cinfo.err = jpeg_std_error(&failure.base);
    failure.base.error_exit = jpegErrorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<unsigned char> row(size_t(w) * 3);
    if (setjmp(failure.back)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        error = std::string("JPEG encoding failed: ") + failure.message;
        return false;
    }
    {
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
        cinfo.image_width = w;
        cinfo.image_height = h;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < h) {
            const BYTE* src = FreeImage_GetScanLine(rgb24, int(h - 1 - cinfo.next_scanline));
            for (unsigned x = 0; x < w; ++x) {
                row[3 * x + 0] = src[3 * x + FI_RGBA_RED];
                row[3 * x + 1] = src[3 * x + FI_RGBA_GREEN];
                row[3 * x + 2] = src[3 * x + FI_RGBA_BLUE];
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_compress(&cinfo);
    }
    jpeg_destroy_compress(&cinfo);
    out.assign(buffer, buffer + size);
    std::free(buffer);
    return true;
}

}  // namespace pdfbox
