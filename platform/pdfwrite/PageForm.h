#pragma once
// The form a page takes a picture in: 8-bit grey for a grey picture, 24-bit colour otherwise.
// Plain C++ over the image library (no Qt): the picture decoder program uses it too.
#include <FreeImage.h>

namespace pdfbox {

// The page form of a bitmap: 8-bit grey (a grey type, or a palette of greys only) or 24-bit
// colour; 16-bit and floating-point channels become 8-bit, transparent pictures are laid on
// white. Returns `dib` itself when it is in that form already, else a new bitmap (the caller
// unloads both); nullptr when it cannot be converted.
FIBITMAP* pageForm(FIBITMAP* dib);

// True for an 8-bit bitmap whose palette is the grey ramp (index i is grey i).
bool isGreyRamp(FIBITMAP* dib);

}  // namespace pdfbox
