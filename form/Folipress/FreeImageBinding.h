#pragma once
// The conversion run's use of the image library: a look at a file's content, and turning one
// image into the 24-bit page bitmap.
#include <QString>

namespace FreeImageBinding {

// Format codes of the image library.
enum Format : int {
    kBmp = 0, kIco = 1, kJpeg = 2, kIff = 5, kPcx = 10, kPng = 13, kTiff = 18, kPsd = 20, kGif = 25,
    kUnknown = -1,
};

// Format the file's content shows by its signature; kUnknown when the file is missing, empty,
// or holds no picture the library reads.
int FormatFromContent(const QString& winPath);

struct Converted {
    bool ok = false;
    int width = 0;   // pixels
    int height = 0;
};

// Loads the image in the given format and saves it as a 24-bit BMP (replacing the target),
// releasing the bitmaps at once. Fails on a file the library cannot load and on a JPEG that
// the library reports damaged (it would otherwise hand back a partly grey picture).
Converted ConvertToBmp(int format, const QString& sourceWinPath, const QString& bmpWinPath);

}  // namespace FreeImageBinding
