#pragma once
// The size of a Macintosh PICT picture as the image library's PICT loader finds it: its opcodes
// walked the loader's way up to the first bit map, pixel map or QuickTime JPEG, and that map's
// rows read through the way the loader unpacks them.
#include "PictureCursor.h"
#include "PictureSize.h"

namespace PictHeader {

// The size of the picture the library decodes. Not known where the library would fail, walk
// without end, or write past its buffers (pixel maps whose unpacked rows are longer than the
// bitmap's rows, colour tables of more than 256 entries), or where the file is cut off.
PictureSize Size(PictureCursor& pict);

}  // namespace PictHeader
