#include "PictureHeader.h"

#include <FreeImage.h>

#include <cstdlib>
#include <vector>

#include "JpegHeader.h"
#include "PictHeader.h"
#include "PictureCursor.h"
#include "XbmHeader.h"

namespace PictureHeader {

namespace {

constexpr uint32_t fourCC(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

PictureSize sized(long long width, long long height) {
    PictureSize size;
    size.known = width > 0 && height > 0;
    if (size.known) {
        size.width = width;
        size.height = height;
    }
    return size;
}

// GIF: the first frame, the picture the library decodes.
PictureSize gifSize(PictureCursor& in) {
    if (!ToGifImage(in)) return {};
    in.skip(4);
    const uint32_t width = in.le16();
    const uint32_t height = in.le16();
    return in.ended() ? PictureSize() : sized(width, height);
}

// IFF: the chunks walked as the library walks them, up to the body; the size is that of the last
// bitmap header before it. A chunk header past the end gives the library stale values that it
// walks on with, often without end.
PictureSize iffSize(PictureCursor& in) {
    if (in.be32() != fourCC("FORM")) return {};
    uint32_t left = in.be32();
    const uint32_t type = in.be32();
    const bool pbm = type == fourCC("PBM ");
    if (in.ended() || (type != fourCC("ILBM") && !pbm)) return {};
    left -= 4;
    uint32_t width = 0, height = 0, compression = 0, depth = 8;
    while (left != 0) {
        const uint32_t chunk = in.be32();
        uint32_t length = in.be32();
        if (in.ended()) return {};
        long long end = in.pos() + length;
        if (chunk == fourCC("BMHD")) {
            width = in.be16();
            height = in.be16();
            in.skip(4);
            uint32_t planes = in.u8();
            planes += in.u8() & 1;  // a mask plane
            compression = in.u8();
            in.skip(9);
            if (in.ended() || (planes > 8 && planes != 24)) return {};
            depth = planes > 8 ? 24 : 8;
        } else if (chunk == fourCC("CMAP") && (width == 0 || height == 0)) {
            return {};
        } else if (chunk == fourCC("BODY")) {
            const PictureSize size = sized(width, height);
            if (!size.known || !pbm || compression != 1) return size;
            // Packed rows of a PBM body are unpacked straight into the bitmap: a run past a row
            // goes on into the next, and past the first row unpacked out of the bitmap.
            const long long line = ((width * depth / 8) + 1) & ~1LL;
            const long long pitch = ((width * depth / 8) + 3) & ~3LL;
            for (long long row = 0; row < height; ++row) {
                long long written = 0;
                while (written < line) {
                    const uint32_t count = in.u8();
                    if (in.ended()) return {};
                    if (count < 128) {
                        in.skip(count + 1);
                        written += count + 1;
                    } else if (count > 128) {
                        in.skip(1);
                        written += 257 - count;
                    }
                }
                if ((height - 1 - row) * pitch + written > height * pitch) return {};
            }
            return in.ended() ? PictureSize() : size;
        }
        if (length & 1) {
            length += 1;
            end += 1;
        }
        if (end >= 1LL << 32) return {};  // the library's 32-bit position would wrap back
        in.seek(end);
        left -= length + 8;
    }
    return {};  // the form ends without a body
}

// A JPEG 2000 codestream: the image area of its SIZ marker, which must follow the start mark.
PictureSize codestreamSize(PictureCursor& in, long long pos) {
    in.seek(pos);
    if (in.be16() != 0xFF4F || in.be16() != 0xFF51) return {};
    in.skip(4);
    const uint32_t x = in.be32(), y = in.be32(), x0 = in.be32(), y0 = in.be32();
    return !in.ended() && x > x0 && y > y0 ? sized(x - x0, y - y0) : PictureSize();
}

// A .jp2 file: boxes up to the codestream box; a box ends within the file or the file is
// damaged.
PictureSize jp2Size(PictureCursor& in) {
    long long pos = 0;
    for (;;) {
        in.seek(pos);
        long long length = in.be32();
        const uint32_t type = in.be32();
        long long header = 8;
        if (length == 1) {  // a 64-bit length follows the type
            const uint64_t high = in.be32();
            const uint64_t wide = high << 32 | in.be32();
            length = wide > uint64_t(in.size()) ? -1 : static_cast<long long>(wide);
            header = 16;
        } else if (length == 0) {  // the last box, up to the end of the file
            length = in.size() - pos;
        }
        if (in.ended()) return {};
        if (type == fourCC("jp2c")) return codestreamSize(in, pos + header);
        if (length < header || length > in.size() - pos) return {};
        pos += length;
    }
}

// MNG: the chunks walked as the library walks them up to the first picture: a PNG (its header's
// size) or a JNG, whose size is that of the JPEG in its data chunks whatever its header says.
PictureSize mngSize(PictureSource& source) {
    PictureCursor in(source);
    in.seek(8);
    std::vector<PictureCursor::Piece> jpeg;
    long long alphaBytes = 0;
    uint32_t alphaCompression = 0;
    PictureSize jngHeader;
    for (;;) {
        const long long start = in.pos();
        const uint32_t length = in.be32();
        const uint32_t type = in.be32();
        const long long data = in.pos();
        if (in.ended() || length > in.size() - data) return {};
        // The library reads the fields of these without checking their length.
        if ((type == fourCC("pHYs") && length < 8) || (type == fourCC("bKGD") && length < 6)) return {};
        if (type == fourCC("tEXt")) {  // its text is read up to a zero byte
            bool ended = false;
            for (long long i = 0; i < length && !ended; ++i) ended = in.u8() == 0;
            if (!ended) return {};
        }
        if (type == fourCC("MEND")) return {};
        if (type == fourCC("IHDR")) {
            // The PNG, from its header chunk to its end chunk, must lie within the file.
            if (length != 13) return {};
            const uint32_t width = in.be32();
            const PictureSize size = sized(width, in.be32());
            if (size.tooLarge()) return size;  // refused whatever follows
            for (long long at = start;;) {
                in.seek(at);
                const uint32_t n = in.be32();
                const uint32_t kind = in.be32();
                if (in.ended() || n > in.size() - in.pos() || in.size() - in.pos() - n < 4) return {};
                if (kind == fourCC("IEND")) return size;
                at = in.pos() + n + 4;
            }
        }
        if (type == fourCC("JHDR")) {
            if (length != 16) return {};
            const uint32_t width = in.be32();
            jngHeader = sized(width, in.be32());
            in.skip(5);
            alphaCompression = in.u8();
        } else if (type == fourCC("JDAT")) {
            jpeg.push_back({data, length});
        } else if (type == fourCC("IDAT") && alphaCompression == 0) {
            alphaBytes += length;
        } else if (type == fourCC("IEND") && !jpeg.empty()) {
            PictureCursor stream(source, jpeg);
            if (stream.peek() != 0xFF || stream.peek(1) != 0xD8) return {};  // not a JPEG
            const PictureSize size = JpegHeader::Size(stream);
            // An alpha channel is decoded at the size the JNG header gives.
            if (size.known && alphaBytes > 0 && jngHeader.tooLarge()) return jngHeader;
            return size;
        } else if (type == fourCC("IEND")) {
            return {};
        }
        in.seek(data + length);
        in.skip(4);  // CRC
        if (in.ended()) return {};
    }
}

// SGI: a picture of fewer than two dimensions is one row high whatever its height field holds.
PictureSize sgiSize(PictureCursor& in) {
    if (in.size() < 512 || in.be16() != 474) return {};
    in.skip(2);
    const uint32_t dimensions = in.be16();
    const uint32_t width = in.be16();
    const uint32_t height = in.be16();
    return sized(width, dimensions < 2 ? 1 : height);
}

// DDS: the library takes the 32-bit sizes as signed numbers and allocates their magnitude; a
// negative size also makes it read rows far longer than its bitmap's. Compressed pictures are cut
// to whole 4 x 4 blocks.
PictureSize ddsSize(PictureCursor& in) {
    if (in.be32() != fourCC("DDS ")) return {};
    in.seek(12);
    int32_t height = static_cast<int32_t>(in.le32());
    int32_t width = static_cast<int32_t>(in.le32());
    in.seek(80);
    const uint32_t flags = in.le32();
    const uint32_t code = in.le32();
    if (in.ended()) return {};
    const bool compressed = !(flags & 0x40) && (flags & 0x4);
    if (compressed) {
        if (code != fourCC("1TXD") && code != fourCC("3TXD") && code != fourCC("5TXD")) return {};
        width = static_cast<int32_t>(static_cast<uint32_t>(width) & ~3u);
        height = static_cast<int32_t>(static_cast<uint32_t>(height) & ~3u);
    } else if (!(flags & 0x40)) {
        return {};  // neither plain nor compressed pixels: the library reads none
    }
    const PictureSize size = sized(std::llabs(width), std::llabs(height));
    if (size.tooLarge()) return size;
    return width > 0 && height > 0 ? size : PictureSize();
}

// WBMP: numbers of 7 bits a byte (the high bit: another byte follows), summed in 32 bits and
// taken to 16 as the library does; extension headers passed over as it passes them.
PictureSize wbmpSize(PictureCursor& in) {
    auto number = [&in] {
        uint32_t value = 0;
        for (;;) {
            const uint32_t b = in.u8();
            if (in.ended()) return value;
            value += b & 0x7F;
            if (!(b & 0x80)) return value;
            value <<= 7;
        }
    };
    if ((number() & 0xFFFF) != 0) return {};  // type 0, the only one there is
    const uint32_t fixed = in.u8();
    for (uint32_t extension = fixed & 0x80; extension & 0x80;) {
        extension = in.u8();
        if (in.ended()) return {};  // the library would wait for the last extension for ever
        if ((extension & 0x60) == 0x00) number();
        if ((extension & 0x60) == 0x60) in.skip(((extension & 0x70) >> 4) + (extension & 0x0F));
    }
    const uint32_t width = number() & 0xFFFF;
    const uint32_t height = number() & 0xFFFF;
    return in.ended() ? PictureSize() : sized(width, height);
}

}  // namespace

bool ToGifImage(PictureCursor& in) {
    if (in.u8() != 'G' || in.u8() != 'I' || in.u8() != 'F') return false;
    in.seek(10);
    const uint32_t flags = in.u8();
    in.seek(13);
    if (flags & 0x80) in.skip(3LL << ((flags & 7) + 1));  // global colour table
    for (;;) {
        const uint32_t block = in.u8();
        if (in.ended()) return false;
        if (block == 0x2C) return true;
        if (block != 0x21) return false;  // only extensions come before it
        in.skip(1);
        for (uint32_t n = in.u8(); n != 0 && !in.ended(); n = in.u8()) in.skip(n);  // sub-blocks
    }
}

bool Reads(int format) {
    switch (format) {
        case FIF_GIF: case FIF_IFF: case FIF_J2K: case FIF_JP2: case FIF_SGI: case FIF_DDS:
        case FIF_WBMP: case FIF_XBM: case FIF_PICT: case FIF_KOALA: case FIF_MNG: case FIF_JNG:
        case FIF_JPEG:
            return true;
        default:
            return false;
    }
}

PictureSize Size(int format, PictureSource& source) {
    PictureCursor in(source);
    switch (format) {
        case FIF_GIF: return gifSize(in);
        case FIF_IFF: return iffSize(in);
        case FIF_J2K: return codestreamSize(in, 0);
        case FIF_JP2: return jp2Size(in);
        case FIF_SGI: return sgiSize(in);
        case FIF_DDS: return ddsSize(in);
        case FIF_WBMP: return wbmpSize(in);
        case FIF_XBM: return XbmHeader::Size(in);
        case FIF_PICT: return PictHeader::Size(in);
        case FIF_KOALA: return sized(320, 200);  // a C64 multicolour screen, always
        case FIF_MNG: case FIF_JNG: return mngSize(source);
        // The frame header: the library's own header read takes in every scan of a progressive
        // picture, two bytes a sample.
        case FIF_JPEG: return JpegHeader::Size(in);
        default: return {};
    }
}

}  // namespace PictureHeader
