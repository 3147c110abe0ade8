// Base of the video elementary-stream header decoders: each reads one header from a byte
// buffer and leaves the coded picture size in its description.
#pragma once

#include <cstdint>

#include "StreamDescription.h"

namespace clipsight {

class VideoHeaderDecoder {
public:
    VideoHeaderDecoder();
    virtual ~VideoHeaderDecoder();

    // True when exactly one header has been decoded.
    virtual bool IsComplete() const;
    // Looks for the header in `length` bytes at `buffer` (never reading outside them). When
    // one is decoded: the size goes to description.video.displayWidth / displayHeight,
    // decodedCount rises and its new value is returned. Otherwise nothing changes and the
    // result carries nothing of use. NULL or an empty buffer decodes nothing.
    virtual uint32_t Decode(const uint8_t* buffer, uint64_t length) = 0;

    StreamDescription description;
    uint32_t requiredCount = 1;
    uint32_t decodedCount = 0;

    // MSB-first bit reader bounded by its buffer. Reading past the end yields zero bits and
    // sets `overrun`, which makes the decode fail.
    struct BitCursor {
        const uint8_t* data = nullptr;
        uint64_t length = 0;
        uint64_t byte = 0;  // current byte
        int bit = 0;        // 0 = most significant bit of the current byte
        bool overrun = false;
    };
    // n bits (0..32) as an unsigned number.
    static uint32_t ReadBits(BitCursor& cursor, int n);
    // Unsigned Exp-Golomb code; zero runs are counted over the rest of the current byte and
    // at most six further bytes, and a longer run gives 0.
    static uint32_t ReadUe(BitCursor& cursor);
    // A signed Exp-Golomb code (same code length as ReadUe).
    static int32_t ReadSe(BitCursor& cursor);

protected:
    // Records a decoded size and returns the new decodedCount.
    uint32_t Store(uint32_t width, uint32_t height);
};

}  // namespace clipsight
