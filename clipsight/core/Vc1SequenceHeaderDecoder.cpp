#include "Vc1SequenceHeaderDecoder.h"

namespace clipsight {

namespace {

bool StartCodeAt(const uint8_t* b, uint64_t length, uint64_t i, uint8_t code) {
    return i + 4 <= length && b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == code;
}

}  // namespace

uint32_t Vc1SequenceHeaderDecoder::Decode(const uint8_t* buffer, uint64_t length) {
    if (buffer == nullptr || !StartCodeAt(buffer, length, 0, 0x0F)) return 0;
    BitCursor c;
    c.data = buffer;
    c.length = length;
    c.byte = 4;
    const uint8_t seqProfile = static_cast<uint8_t>(ReadBits(c, 2));

    if (seqProfile != 3) {
        // Simple and main profiles: check the header; it carries no size we use.
        if (ReadBits(c, 2) != 0) return 0;  // reserved
        ReadBits(c, 3);                     // frmrtq_postproc
        ReadBits(c, 5);                     // bitrtq_postproc
        const uint32_t loopfilter = ReadBits(c, 1);
        if (seqProfile == 0 && loopfilter != 0) return 0;
        if (ReadBits(c, 1) != 0) return 0;  // reserved
        ReadBits(c, 1);                     // multires
        if (ReadBits(c, 1) != 1) return 0;  // reserved
        const uint32_t fastuvmc = ReadBits(c, 1);
        if (seqProfile == 0 && fastuvmc == 0) return 0;
        const uint32_t extendedMv = ReadBits(c, 1);
        if (seqProfile == 0 && extendedMv != 0) return 0;
        ReadBits(c, 2);                     // dquant
        ReadBits(c, 1);                     // vstransform
        if (ReadBits(c, 1) != 0) return 0;  // reserved
        ReadBits(c, 1);                     // overlap
        ReadBits(c, 1);                     // syncmarker
        ReadBits(c, 1);                     // rangered
        ReadBits(c, 3);                     // maxbframes
        ReadBits(c, 2);                     // quantizer
        ReadBits(c, 1);                     // finterpflag
        ReadBits(c, 1);                     // reserved
        if (c.overrun) return 0;
        profile = seqProfile;
        return ++decodedCount;
    }

    // Advanced profile sequence header.
    ReadBits(c, 3);                         // level
    if (ReadBits(c, 2) != 1) return 0;      // colordiff_format
    ReadBits(c, 3);                         // frmrtq_postproc
    ReadBits(c, 5);                         // bitrtq_postproc
    ReadBits(c, 1);                         // postprocflag
    ReadBits(c, 12);                        // max_coded_width
    ReadBits(c, 12);                        // max_coded_height
    ReadBits(c, 4);                         // pulldown, interlace, tfcntrflag, finterpflag
    if (ReadBits(c, 1) != 1) return 0;      // reserved
    if (ReadBits(c, 1) != 0) return 0;      // psf
    if (ReadBits(c, 1) != 0) {              // display_ext
        ReadBits(c, 14);                    // disp_horiz_size
        ReadBits(c, 14);                    // disp_vert_size
        if (ReadBits(c, 1) != 0) {          // aspect_ratio_flag
            if (ReadBits(c, 4) == 15) ReadBits(c, 16);  // aspect_horiz_size, aspect_vert_size
        }
        if (ReadBits(c, 1) != 0) {          // framerate_flag
            if (ReadBits(c, 1) == 0) {      // framerateind
                ReadBits(c, 8);             // frameratenr
                ReadBits(c, 4);             // frameratedr
            } else {
                ReadBits(c, 16);            // frameratexp
            }
        }
        if (ReadBits(c, 1) != 0) {          // color_format_flag
            const uint32_t colorPrim = ReadBits(c, 8);
            if (colorPrim == 0 || colorPrim == 3 || colorPrim > 7) return 0;
            const uint32_t transfer = ReadBits(c, 8);
            if (transfer != 1 && transfer != 2 && transfer != 7) return 0;
            const uint32_t matrix = ReadBits(c, 8);
            if (matrix != 1 && matrix != 2 && matrix != 6 && matrix != 7) return 0;
        }
    }
    const uint8_t hrdFlag = static_cast<uint8_t>(ReadBits(c, 1));
    uint8_t buckets = 0;
    if (hrdFlag != 0) {
        buckets = static_cast<uint8_t>(ReadBits(c, 5));
        ReadBits(c, 4);  // bit_rate_exponent
        ReadBits(c, 4);  // buffer_size_exponent
        for (int i = 0; i < buckets; ++i) ReadBits(c, 32);  // hrd_rate, hrd_buffer
    }
    if (c.overrun) return 0;
    profile = seqProfile;
    hrdParamFlag = hrdFlag;
    hrdBucketCount = buckets;

    // Entry point that follows, searched from the current byte.
    uint64_t entry = c.byte;
    while (entry + 4 <= length && !StartCodeAt(buffer, length, entry, 0x0E)) ++entry;
    if (entry + 4 > length) return 0;
    c.byte = entry + 4;
    c.bit = 0;
    ReadBits(c, 6);  // broken_link, closed_entry, panscan_flag, refdist_flag, loopfilter, fastuvmc
    const uint32_t extendedMv = ReadBits(c, 1);
    ReadBits(c, 2);  // dquant
    ReadBits(c, 1);  // vstransform
    ReadBits(c, 1);  // overlap
    ReadBits(c, 2);  // quantizer
    if (hrdParamFlag != 0) {
        for (int i = 0; i < hrdBucketCount; ++i) ReadBits(c, 8);  // hrd_full
    }
    bool haveSize = false;
    uint32_t codedWidth = 0, codedHeight = 0;
    if (ReadBits(c, 1) != 0) {  // coded_size_flag
        codedWidth = ReadBits(c, 12);
        codedHeight = ReadBits(c, 12);
        haveSize = true;
    }
    if (extendedMv != 0) ReadBits(c, 1);  // extended_dmv
    if (ReadBits(c, 1) != 0) ReadBits(c, 3);  // range_mapy
    if (ReadBits(c, 1) != 0) ReadBits(c, 3);  // range_mapuv
    if (c.overrun) return 0;
    if (haveSize) {
        description.video.displayWidth = 2 * codedWidth + 2;
        description.video.displayHeight = 2 * codedHeight + 2;
    }
    return ++decodedCount;
}

}  // namespace clipsight
