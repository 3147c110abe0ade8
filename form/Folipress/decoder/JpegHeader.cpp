#include "JpegHeader.h"

namespace JpegHeader {

namespace {

// The next marker code: bytes other than 0xFF are passed over, then any run of 0xFF fill bytes;
// 0xFF 0x00 is stuffed data, not a marker. -1 at the end (the decoder then sees an end mark).
int nextMarker(PictureCursor& in) {
    for (;;) {
        uint32_t c = in.u8();
        while (c != 0xFF && !in.ended()) c = in.u8();
        do c = in.u8(); while (c == 0xFF && !in.ended());
        if (in.ended()) return -1;
        if (c != 0) return static_cast<int>(c);
    }
}

}  // namespace

PictureSize Size(PictureCursor& in) {
    if (in.u8() != 0xFF || in.u8() != 0xD8) return {};
    for (;;) {
        const int marker = nextMarker(in);
        switch (marker) {
            case 0xC0: case 0xC1: case 0xC2: case 0xC9: case 0xCA: {  // the frame header
                const uint32_t length = in.be16();
                in.u8();  // sample precision
                const uint32_t height = in.be16();
                const uint32_t width = in.be16();
                const uint32_t components = in.u8();
                if (in.ended() || width == 0 || height == 0 || components == 0 || length != 8 + 3 * components)
                    return {};
                PictureSize size;
                size.known = true;
                size.width = width;
                size.height = height;
                return size;
            }
            case 0xC4: case 0xCC: case 0xDB: case 0xDD: {  // tables and the restart interval
                const uint32_t length = in.be16();
                if (length < 2 || (marker == 0xDD && length != 4)) return {};
                in.skip(length - 2);
                break;
            }
            case 0xDC: case 0xFE:  // DNL and comments; a length under 2 skips nothing
            case 0xE0: case 0xE1: case 0xE2: case 0xE3: case 0xE4: case 0xE5: case 0xE6: case 0xE7:
            case 0xE8: case 0xE9: case 0xEA: case 0xEB: case 0xEC: case 0xED: case 0xEE: case 0xEF: {
                const uint32_t length = in.be16();
                if (length > 2) in.skip(length - 2);
                break;
            }
            case 0x01: case 0xD0: case 0xD1: case 0xD2: case 0xD3: case 0xD4: case 0xD5: case 0xD6: case 0xD7:
                break;  // markers without parameters
            default:  // the end, a second start, scan data before a frame, frame kinds not decoded
                return {};
        }
    }
}

}  // namespace JpegHeader
