#include "pdfwrite/PageForm.h"

#include <algorithm>

namespace pdfbox {

namespace {

bool greyPalette(FIBITMAP* dib) {
    const RGBQUAD* pal = FreeImage_GetPalette(dib);
    if (!pal) return false;
    for (unsigned i = 0; i < FreeImage_GetColorsUsed(dib); ++i) {
        if (pal[i].rgbRed != pal[i].rgbGreen || pal[i].rgbGreen != pal[i].rgbBlue) return false;
    }
    return true;
}

// A palette picture with transparent entries, those entries laid on white in a copy's palette.
FIBITMAP* paletteOnWhite(FIBITMAP* dib) {
    FIBITMAP* copy = FreeImage_Clone(dib);
    if (!copy) return nullptr;
    RGBQUAD* pal = FreeImage_GetPalette(copy);
    const BYTE* alpha = FreeImage_GetTransparencyTable(copy);
    const unsigned n = std::min(FreeImage_GetTransparencyCount(copy), FreeImage_GetColorsUsed(copy));
    for (unsigned i = 0; pal && alpha && i < n; ++i) {
        for (BYTE* c : {&pal[i].rgbRed, &pal[i].rgbGreen, &pal[i].rgbBlue})
            *c = BYTE((*c * alpha[i] + 255 * (255 - alpha[i]) + 127) / 255);
    }
    FreeImage_SetTransparent(copy, FALSE);
    return copy;
}

// The page form of a standard (FIT_BITMAP) bitmap.
FIBITMAP* standardPageForm(FIBITMAP* dib) {
    const unsigned bpp = FreeImage_GetBPP(dib);
    if (bpp <= 8 && FreeImage_GetPalette(dib)) {
        FIBITMAP* opaque = FreeImage_IsTransparent(dib) ? paletteOnWhite(dib) : dib;
        if (!opaque) return nullptr;
        FIBITMAP* out = opaque;
        if (!isGreyRamp(opaque)) {
            out = greyPalette(opaque) ? FreeImage_ConvertToGreyscale(opaque) : FreeImage_ConvertTo24Bits(opaque);
            if (opaque != dib) FreeImage_Unload(opaque);
        }
        return out;
    }
    if (bpp == 24) return dib;
    if (FreeImage_IsTransparent(dib) || bpp == 32) {
        RGBQUAD white = {255, 255, 255, 0};
        FIBITMAP* rgba = bpp == 32 ? dib : FreeImage_ConvertTo32Bits(dib);
        FIBITMAP* out = rgba ? FreeImage_Composite(rgba, FALSE, &white, nullptr) : nullptr;
        if (rgba && rgba != dib) FreeImage_Unload(rgba);
        if (out) return out;
    }
    return FreeImage_ConvertTo24Bits(dib);
}

}  // namespace

bool isGreyRamp(FIBITMAP* dib) {
    if (FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) != 8 ||
        FreeImage_IsTransparent(dib) || FreeImage_GetColorsUsed(dib) != 256)
        return false;
    const RGBQUAD* pal = FreeImage_GetPalette(dib);
    for (int i = 0; pal && i < 256; ++i) {
        if (pal[i].rgbRed != i || pal[i].rgbGreen != i || pal[i].rgbBlue != i) return false;
    }
    return pal != nullptr;
}

FIBITMAP* pageForm(FIBITMAP* dib) {
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
    if (type == FIT_BITMAP) return standardPageForm(dib);
    // 16-bit grey keeps its upper byte, as 16-bit colour does, which the library loads as 48 or
    // 64 bits a pixel and becomes 24 or 32 bits; other one-channel types are scaled to 8 bits.
    FIBITMAP* std8 = type == FIT_UINT16 ? FreeImage_ConvertTo8Bits(dib)
                                        : FreeImage_ConvertToStandardType(dib, TRUE);
    if (!std8 && type == FIT_RGB16) std8 = FreeImage_ConvertTo24Bits(dib);
    if (!std8 && type == FIT_RGBA16) std8 = FreeImage_ConvertTo32Bits(dib);
    // Floating-point colour (high dynamic range) the library turns into 24 bits only by mapping
    // its tones, as such pictures are shown.
    if (!std8 && (type == FIT_RGBF || type == FIT_RGBAF)) std8 = FreeImage_ToneMapping(dib, FITMO_DRAGO03);
    if (!std8) return nullptr;
    FIBITMAP* out = standardPageForm(std8);
    if (out != std8) FreeImage_Unload(std8);
    return out;
}

}  // namespace pdfbox
