#pragma once
// The decoder program's work on its one picture, through the image library: what the picture
// is and how large its header says it is, and the picture decoded into the page bitmap.
#include <string>

#include "DecoderProtocol.h"
#include "DescriptorStream.h"
#include "PictureSource.h"

namespace PictureDecoding {

// The format the content shows by its signature (a WBMP, which has none, by the file name's
// `extension`), and the size its header gives: the library's header-only load where it has one,
// else our own header readers, over `source` (the same picture).
DecoderProtocol::Answer probe(DescriptorStream& picture, PictureSource& source, const std::string& extension);

// Decodes the picture in `format` and writes its page bitmap (8-bit greys for a grey picture,
// else 24-bit colour) as a BMP into `bitmap`. A JPEG the library reports damaged is refused (it
// would hand back a partly grey picture), as is a picture of another size than the header's.
// Returns an exit status.
DecoderProtocol::ExitStatus decode(DescriptorStream& picture, DescriptorStream& bitmap, int format,
                                   long long width, long long height);

}  // namespace PictureDecoding
