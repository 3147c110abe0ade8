#pragma once
// Pictures for a page: any file the image library reads, flattened to 24-bit colour, and its
// JPEG encoding.
#include <FreeImage.h>

#include <string>
#include <vector>

namespace pdfbox {

// Loads a picture (format taken from its content, else from its name) as a 24-bit bitmap;
// transparent pictures are laid on white. nullptr with a reason in `error` on failure.
FIBITMAP* loadRgb24(const std::string& hostPath, std::string& error);

// Encodes a 24-bit bitmap as a baseline JPEG at quality 0..100 (0 is taken as 1).
bool encodeJpeg(FIBITMAP* rgb24, int quality, std::vector<unsigned char>& out, std::string& error);

// The bitmap's pixels as top-down RGB rows (for uncompressed or Flate pictures).
std::vector<unsigned char> rgbRows(FIBITMAP* rgb24);

}  // namespace pdfbox
