#pragma once
// Picture sizes read from the headers of the formats whose size the image library gives only by
// decoding the whole picture, or much of it: GIF, IFF, JPEG 2000 (.jp2 and raw codestreams), SGI,
// DDS, WBMP, XBM, PICT, KOALA, MNG and JNG, and JPEG (progressive ones). The size read is that of
// the picture the library decodes.
#include "PictureSize.h"
#include "PictureSource.h"

class PictureCursor;

namespace PictureHeader {

// True when the size of pictures in this library format is read here.
bool Reads(int format);

// The size the picture's own header gives; not known when the header is damaged or cut off.
PictureSize Size(int format, PictureSource& source);

// Walks a GIF past its header and extensions to its first image descriptor, the frame the library
// decodes; false when there is none.
bool ToGifImage(PictureCursor& in);

}  // namespace PictureHeader
