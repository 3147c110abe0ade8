#pragma once
// The conversion run's use of the image library: a look at a file's content, and turning one
// image into the page bitmap.
#include <QString>

namespace FreeImageBinding {

// Format codes of the image library.
enum Format : int {
    kBmp = 0, kIco = 1, kJpeg = 2, kIff = 5, kPcx = 10, kPng = 13, kTiff = 18, kPsd = 20, kGif = 25,
    kUnknown = -1,
};

// The most pixels a picture may have: 2^28 (16384 x 16384), four times a 600 dpi A3 scan
// (7016 x 9921) and more than any page is printed from. Decoded, such a picture takes at most
// 1 GB at 8 bits a channel (2 GB at 16), which bounds what a run needs whatever it is given; a
// picture beyond it is refused by its header before anything is decoded.
constexpr long long kMaxPicturePixels = 1LL << 28;

// Format the file's content shows by its signature (a WBMP, which has none, by its extension);
// kUnknown when the file is missing, empty, or holds no picture the library reads.
int FormatFromContent(const QString& winPath);

struct PictureSize {
    bool known = false;     // false: no size can be read from the header
    bool knowable = true;   // false: the format tells no size before the picture is decoded
    long long width = 0;
    long long height = 0;
    bool tooLarge() const { return width * height > kMaxPicturePixels; }
};

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
