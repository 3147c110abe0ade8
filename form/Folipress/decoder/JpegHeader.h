#pragma once
// The size of a JPEG stream as the JPEG decoder finds it: its markers walked the decoder's way,
// with the garbage and fill bytes before a marker passed over.
#include "PictureCursor.h"
#include "PictureSize.h"

namespace JpegHeader {

// The size in the first frame header of the JPEG that starts at the cursor; not known where the
// decoder would stop with an error before reaching one.
PictureSize Size(PictureCursor& jpeg);

}  // namespace JpegHeader
