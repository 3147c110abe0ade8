#pragma once
// The decoder program's work on its one picture, through the image library: what the picture
// is and how large its header says it is, and the picture decoded into the page bitmap.
#include <string>

#include "DecoderProtocol.h"
#include "DescriptorStream.h"
#include "PictureSource.h"

namespace PictureDecoding {

// The format the content shows by its signature (where it shows none, the format of the file
// name's `extension`), and the size its header gives: our own header readers over `source` (the
// same picture) where they read the format, else the library's header-only load.
DecoderProtocol::Answer probe(DescriptorStream& picture, PictureSource& source, const std::string& extension);

// Decodes the picture in `format` and writes its page bitmap (8-bit greys for a grey picture,
// else 24-bit colour) as a BMP into `bitmap`. A picture whose decoding needs bytes beyond the end
// of its file ends the program at once with kCutOff, and one whose data a walk finds short is
// refused as cut off beforehand (PictureData.h): the library would fill in what is missing. A
// JPEG the library reports damaged is refused (it would hand back a partly grey picture), as is
// a picture of another size than the header's. Returns an exit status.
DecoderProtocol::ExitStatus decode(DescriptorStream& picture, PictureSource& source, DescriptorStream& bitmap,
                                   int format, long long width, long long height);

}  // namespace PictureDecoding
