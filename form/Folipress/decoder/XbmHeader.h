#pragma once
// The size of an XBM picture (C source: "#define name_width N", "#define name_height N", then an
// array of hex numbers) read line by line as the image library's XBM loader reads it.
#include "PictureCursor.h"
#include "PictureSize.h"

namespace XbmHeader {

// The size the library decodes; not known where it would fail, or where it would wait without
// end for numbers the file does not hold.
PictureSize Size(PictureCursor& xbm);

}  // namespace XbmHeader
