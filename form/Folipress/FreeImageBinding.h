#pragma once
// The conversion run's use of the image library: a look at a file's content, and turning one
// image into the page bitmap.
#include <QString>

#include "PictureSize.h"

namespace FreeImageBinding {

// Format codes of the image library.
enum Format : int {
    kBmp = 0, kIco = 1, kJpeg = 2, kIff = 5, kPcx = 10, kPng = 13, kTiff = 18, kPsd = 20, kGif = 25,
    kUnknown = -1,
};

using ::kMaxPicturePixels;
using ::PictureSize;

// Format the file's content shows by its signature (a WBMP, which has none, by its extension);
// kUnknown when the file is missing, empty, or holds no picture the library reads.
int FormatFromContent(const QString& winPath);

// The picture's size as its header gives it, without decoding it.
PictureSize SizeFromHeader(int format, const QString& winPath);

// The library's short name of a format ("JPEG", "PICT", ...).
QString FormatName(int format);

struct Converted {
    bool ok = false;
    PictureSize header;  // the size its header gives; not known or too large: not decoded
    int width = 0;   // pixels of the saved bitmap
    int height = 0;
    bool grey = false;  // saved as 8-bit greys
};

// Loads the image in the given format and saves it as a BMP (replacing the target): 8-bit greys
// for a grey picture, 24-bit colour otherwise, releasing the bitmaps at once. Fails on a picture
// whose size is unknown or too large (before decoding it), on a file the library cannot load and
// on a JPEG that the library reports damaged (it would otherwise hand back a partly grey
// picture).
Converted ConvertToBmp(int format, const QString& sourceWinPath, const QString& bmpWinPath);

}  // namespace FreeImageBinding
