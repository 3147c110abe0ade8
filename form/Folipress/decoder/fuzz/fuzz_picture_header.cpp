// Every header reader, and every walk of a picture's data, on one input: none may read out of
// bounds, overflow or walk without end, and a size a reader gives is positive and judged by the
// bound exactly.
#include <FreeImage.h>

#include <cstddef>
#include <cstdint>

#include "PictureData.h"
#include "PictureHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int formats[] = {FIF_GIF, FIF_IFF, FIF_J2K, FIF_JP2, FIF_SGI, FIF_DDS, FIF_WBMP,
                                  FIF_XBM, FIF_PICT, FIF_KOALA, FIF_MNG, FIF_JNG, FIF_JPEG};
    for (const int format : formats) {
        PictureSource source(data, size);
        const PictureSize picture = PictureHeader::Size(format, source);
        if (!picture.known) continue;
        if (picture.width <= 0 || picture.height <= 0) __builtin_trap();
        const bool beyond = static_cast<__int128>(picture.width) * picture.height > kMaxPicturePixels;
        if (picture.tooLarge() != beyond) __builtin_trap();
    }
    for (const int format : {FIF_GIF, FIF_TARGA, FIF_PCX, FIF_DDS}) {
        PictureSource source(data, size);
        PictureData::Check(format, source);
    }
    return 0;
}
