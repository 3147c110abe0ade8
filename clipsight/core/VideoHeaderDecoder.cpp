#include "VideoHeaderDecoder.h"

namespace clipsight {

VideoHeaderDecoder::VideoHeaderDecoder() = default;
VideoHeaderDecoder::~VideoHeaderDecoder() = default;

bool VideoHeaderDecoder::IsComplete() const { return decodedCount == requiredCount; }

uint32_t VideoHeaderDecoder::ReadBits(BitCursor& c, int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        uint32_t bit = 0;
        if (c.byte < c.length) {
            bit = (c.data[c.byte] >> (7 - c.bit)) & 1u;
        } else {
            c.overrun = true;
        }
        value = (value << 1) | bit;
        if (++c.bit == 8) {
            c.bit = 0;
            ++c.byte;
        }
    }
    return value;
}

uint32_t VideoHeaderDecoder::ReadUe(BitCursor& c) {
    // Zeros are counted over the rest of this byte and at most six more.
    const int limit = (8 - c.bit) + 6 * 8;
    int zeros = 0;
    while (ReadBits(c, 1) == 0) {
        if (c.overrun) return 0;
        if (++zeros >= limit) return 0;
    }
    if (zeros == 0) return 0;
    if (zeros > 31) {
        // Too long for 32 bits: pass the bits, give the largest value.
        for (int i = 0; i < zeros; ++i) ReadBits(c, 1);
        return UINT32_MAX;
    }
    const uint32_t bits = ReadBits(c, zeros);
    return bits + ((1u << zeros) - 1u);
}

int32_t VideoHeaderDecoder::ReadSe(BitCursor& c) {
    const int64_t k = ReadUe(c);
    return static_cast<int32_t>((k & 1) ? (k + 1) / 2 : -(k / 2));
}

uint32_t VideoHeaderDecoder::Store(uint32_t width, uint32_t height) {
    description.video.displayWidth = width;
    description.video.displayHeight = height;
    return ++decodedCount;
}

}  // namespace clipsight
