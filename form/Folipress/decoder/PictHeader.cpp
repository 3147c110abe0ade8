#include "PictHeader.h"

#include <algorithm>
#include <cstdlib>

#include "JpegHeader.h"

namespace PictHeader {

namespace {

// A rectangle of unsigned 16-bit fields, which the library subtracts as they are.
struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

Rect readRect(PictureCursor& in) {
    Rect r;
    r.top = static_cast<int>(in.be16());
    r.left = static_cast<int>(in.be16());
    r.bottom = static_cast<int>(in.be16());
    r.right = static_cast<int>(in.be16());
    return r;
}

struct PixMap {
    Rect bounds;
    uint32_t pixelSize = 0;
    uint32_t components = 0;
};

// The pixel map record after its bounds.
void readPixMap(PictureCursor& in, PixMap& map) {
    in.skip(18);  // version, packing, resolutions, pixel type
    map.pixelSize = in.be16();
    map.components = in.be16();
    in.skip(14);  // component size, plane bytes, colour table, reserved
}

// A region or polygon: its length, counting itself, first.
void skipRegion(PictureCursor& in) { in.skip((in.be16() - 2) & 0xFFFF); }

// A colour table read into the library's table of 256 entries: false where the library refuses
// it or would write past its table.
bool readColorTable(PictureCursor& in, uint32_t& count) {
    in.skip(4);  // seed
    const uint32_t flags = in.be16();
    count = (in.be16() + 1) & 0xFFFF;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = in.be16();
        if (flags & 0x8000) index = i;  // a device's table: entries in order
        if (index >= count || index >= 256) return false;
        in.skip(6);
        if (in.ended()) return false;
    }
    return true;
}

// The bitmap the library allocates; the rows it unpacks go from the last in memory up.
struct Canvas {
    long long pitch = 0;
    long long rows = 0;
    // Whether extent bytes written from the start of unpacked row `row` stay inside the bitmap.
    bool holds(long long row, long long extent) const { return (rows - 1 - row) * pitch + extent <= rows * pitch; }
};

struct Span {
    long long reads = 0;
    long long writes = 0;
};

// Bytes read and written when the library expands `width` units of 1, 2 or 4-bit pixels to a
// byte each (its loops on the pixel count, with their odd leftovers).
Span expandSmall(int width, uint32_t bits) {
    const long long n = std::max(width, 0);
    Span s{n, n * (8 / bits)};
    int leftover = 0;
    if (bits == 4 && (width & 1)) leftover = 1;
    if (bits == 2 && (width & 3))
        for (int i = 6; i > 8 - (width & 3) * 2; i -= 2) ++leftover;
    if (bits == 1 && (width & 7))
        for (int i = 7; i > ((8 - width) & 7); --i) ++leftover;
    s.reads += leftover;
    s.writes += leftover;
    return s;
}

// One packed row into a row buffer (rows under 8 bytes are not packed): the bytes written, or -1
// where the file ends first.
long long unpackRow(PictureCursor& in, uint32_t rowBytes, uint32_t packedBytes) {
    if (rowBytes < 8) {
        in.skip(rowBytes);
        return rowBytes;
    }
    long long written = 0;
    for (uint32_t j = 0; j < packedBytes;) {
        const uint32_t flag = in.u8();
        if (in.ended()) return -1;
        if (flag == 0x80) {
            ++j;
        } else if (flag & 0x80) {  // a run of one byte
            in.u8();
            written += (flag ^ 0xFF) + 2;
            j += 2;
        } else {
            in.skip(flag + 1);
            written += flag + 1;
            j += flag + 2;
        }
    }
    return written;
}

uint32_t packedLength(PictureCursor& in, uint32_t rowBytes) { return rowBytes > 250 ? in.be16() : in.u8(); }

// 8-bit pixels, unpacked straight into the bitmap's rows.
bool unpack8(PictureCursor& in, const Canvas& dib, const Rect& bounds, uint32_t rowBytes) {
    rowBytes &= 0x7FFF;
    if (rowBytes == 0) rowBytes = static_cast<uint16_t>(bounds.width());
    for (int row = 0; row < bounds.height(); ++row) {
        const long long written = unpackRow(in, rowBytes, packedLength(in, rowBytes));
        if (written < 0 || in.ended() || !dib.holds(row, written)) return false;
    }
    return true;
}

// 32-bit pixels, each row unpacked into a buffer of rowBytes and read from there as 3 or 4
// planes of a row's width.
bool unpack32(PictureCursor& in, const Rect& bounds, uint32_t rowBytes, uint32_t planes) {
    const int width = bounds.width();
    if (rowBytes == 0) rowBytes = static_cast<uint16_t>(width * 4);
    const long long planeBytes = static_cast<long long>(std::max(width, 0)) * (planes == 3 ? 3 : 4);
    for (int row = 0; row < bounds.height(); ++row) {
        const long long written = unpackRow(in, rowBytes, packedLength(in, rowBytes));
        if (written < 0 || in.ended() || written > rowBytes || planeBytes > rowBytes) return false;
    }
    return true;
}

// 1, 2, 4 and 16-bit pixels, expanded as they are unpacked: a unit of packed data is a byte (a
// pixel at 16 bits), written out as a byte a pixel (4 at 16 bits).
bool unpackBits(PictureCursor& in, const Canvas& dib, const Rect& bounds, uint32_t rowBytes, uint32_t bits) {
    const int width = bounds.width();
    if (bits <= 8) rowBytes &= 0x7FFF;
    const bool wide = bits == 16;
    if (rowBytes == 0) rowBytes = static_cast<uint16_t>(wide ? static_cast<uint16_t>(width) * 2 : width);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 16) return false;  // the library refuses the rest
    const long long unitWrites = wide ? 4 : 8 / bits;
    auto expand = [&](int count) {
        return wide ? Span{2LL * std::max(count, 0), 4LL * std::max(count, 0)} : expandSmall(count, bits);
    };
    for (int row = 0; row < bounds.height(); ++row) {
        long long extent = 0;
        if (rowBytes < 8) {
            const Span s = expand(width);
            in.skip(s.reads);
            extent = s.writes;
        } else {
            const uint32_t packedBytes = packedLength(in, rowBytes);
            long long at = 0;
            for (uint32_t j = 0; j < packedBytes;) {
                const uint32_t flag = in.u8();
                if (in.ended()) return false;
                if (flag == 0x80) {
                    ++j;
                    continue;
                }
                const bool run = flag & 0x80;
                const int count = run ? static_cast<int>(flag ^ 0xFF) + 2 : static_cast<int>(flag) + 1;
                const Span s = expand(run ? 1 : count);  // a run expands one unit, then copies it
                in.skip(s.reads);
                extent = std::max({extent, at + s.writes, at + count * unitWrites});
                at += count * unitWrites;
                j += run ? (wide ? 3 : 2) : count * (wide ? 2 : 1) + 1;
            }
        }
        if (in.ended() || !dib.holds(row, extent)) return false;
    }
    return true;
}

// A pixel map's pattern, passed over.
bool skipBits(PictureCursor& in, const Rect& bounds, uint32_t rowBytes, uint32_t bits) {
    if (bits <= 8) rowBytes &= 0x7FFF;
    if (rowBytes == 0) rowBytes = static_cast<uint16_t>(bits == 16 ? static_cast<uint16_t>(bounds.width()) * 2 : bounds.width());
    if (rowBytes < 8) {
        const long long bytes = static_cast<long long>(rowBytes) * bounds.height();
        if (bytes < 0) return false;  // the library would seek backwards
        in.skip(bytes);
        return true;
    }
    for (int row = 0; row < bounds.height(); ++row) {
        in.skip(packedLength(in, rowBytes));
        if (in.ended()) return false;
    }
    return true;
}

bool skipPattern(PictureCursor& in) {
    const uint32_t type = in.be16();
    if (type == 2) {
        in.skip(13);
        return true;
    }
    if (type != 1) return false;
    in.skip(8);
    const uint32_t rowBytes = in.be16();
    PixMap map;
    map.bounds = readRect(in);
    readPixMap(in, map);
    uint32_t colours = 0;
    return readColorTable(in, colours) && skipBits(in, map.bounds, rowBytes, map.pixelSize);
}

// The QuickTime opcode's JPEG: the library looks for its start mark byte by byte within the
// opcode's length, and looks on without end where the file ends first.
bool findJpeg(PictureCursor& in) {
    const uint32_t length = in.be32();
    if (in.ended()) return false;
    for (uint32_t i = 0; i < length; ++i) {
        if (in.pos() + 2 > in.size()) return false;
        if (in.peek() == 0xFF && in.peek(1) == 0xD8) return true;
        in.skip(1);
    }
    return false;
}

// Data lengths of the opcodes under 0xA2 that the library passes over, from its own table
// (kWord: a word holding the length comes first). The table gives none for text and regions,
// whose data the library then reads as opcodes.
constexpr int kWord = -1;
constexpr int kDataLength[0xA2] = {
    0, 0, 8, 2, 1, 2, 4, 4, 2, 8, 8, 4, 4, 2, 4, 4,
    8, 1, 0, 0, 0, 2, 2, 0, 0, 0, 6, 6, 0, 6, 0, 6,
    8, 4, 6, 2, kWord, kWord, kWord, kWord, 0, 0, 0, 0, kWord, kWord, kWord, kWord,
    8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0,
    8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0,
    8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0,
    12, 12, 12, 12, 12, 12, 12, 12, 4, 4, 4, 4, 4, 4, 4, 4,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, kWord, kWord, kWord, kWord, kWord, kWord, 0, 0, 0, kWord, kWord, kWord, kWord, kWord,
    2, 0,
};

enum class Kind { none, direct, pixmap, bitmap, jpeg };

}  // namespace

PictureSize Size(PictureCursor& in) {
    // A 512-byte header, the picture's size and frame (in points), then the version opcode.
    in.seek(512);
    in.be16();
    readRect(in);
    uint32_t b = 0;
    while ((b = in.u8()) == 0)
        if (in.ended()) return {};  // the library would read zeros for ever
    if (b != 0x11) return {};
    const uint32_t version = in.u8();
    if (version == 2 && in.u8() != 0xFF) return {};

    Kind kind = Kind::none;
    uint32_t rowBytes = 0;
    bool region = false;
    PixMap map;
    while (kind == Kind::none) {
        const long long start = in.pos();
        uint32_t op = 0;
        if (version == 1 || start % 2 != 0) op = in.u8();  // version 2 opcodes are words at even places
        if (version == 2) op = in.be16();
        if (in.ended() || op == 0xFF || op == 0xFFFF) return {};  // the end before any picture
        if (op < 0xA2) {
            switch (op) {
                case 0x01: {  // clip region
                    const uint32_t length = in.be16();
                    if (length < 2) return {};  // the library would seek backwards
                    in.skip(length == 10 ? 8 : length - 2);
                    break;
                }
                case 0x12: case 0x13: case 0x14:
                    if (!skipPattern(in)) return {};
                    break;
                case 0x70: case 0x71: case 0x72: case 0x73: case 0x74: case 0x75: case 0x76: case 0x77:
                    skipRegion(in);
                    break;
                case 0x90: case 0x91: case 0x98: case 0x99:  // bit or pixel map
                    rowBytes = in.be16();
                    region = op & 1;
                    kind = (rowBytes & 0x8000) ? Kind::pixmap : Kind::bitmap;
                    break;
                case 0x9A:  // direct pixel map
                    in.skip(6);
                    map.bounds = readRect(in);
                    readPixMap(in, map);
                    in.skip(18);  // source and destination rectangles, transfer mode
                    kind = Kind::direct;
                    break;
                case 0xA1:  // long comment
                    in.skip(2);
                    in.skip(in.be16());
                    break;
                default:
                    in.skip(kDataLength[op] == kWord ? in.be16() : kDataLength[op]);
            }
        } else if (op == 0x0C00) {
            in.skip(24);
        } else if (op == 0x8200) {
            if (!findJpeg(in)) return {};
            kind = Kind::jpeg;
        } else if (op <= 0xAF) {
            in.skip(in.be16());
        } else if (op <= 0xCF || (op >= 0x8000 && op <= 0x80FF)) {
            // no data
        } else if (op <= 0xFE || op >= 8100) {  // (the library's bound is 8100, not 0x8100)
            const int32_t length = static_cast<int32_t>(in.be32());
            if (length < 0) return {};  // the library would seek backwards
            in.skip(length);
        } else {
            in.skip((op >> 7) & 0xFF);
        }
        if (in.ended() || in.pos() == start) return {};
    }
    if (kind == Kind::jpeg) return JpegHeader::Size(in);

    // The bitmap the library allocates: a pixel map's bounds as they subtract (either way round);
    // a bit map's cut to 16 bits, in 8-bit pixels.
    Rect bounds;
    if (kind == Kind::pixmap) {
        map.bounds = readRect(in);
        readPixMap(in, map);
    }
    if (kind == Kind::bitmap) {
        bounds = readRect(in);
        in.skip(16);  // source and destination rectangles
    }
    PictureSize size;
    size.width = kind == Kind::bitmap ? static_cast<uint16_t>(bounds.width()) : std::abs(map.bounds.width());
    size.height = kind == Kind::bitmap ? static_cast<uint16_t>(bounds.height()) : std::abs(map.bounds.height());
    size.known = size.width > 0 && size.height > 0;
    if (in.ended() || !size.known) return {};
    if (size.tooLarge()) return size;

    const uint32_t bits = kind == Kind::bitmap ? 1 : map.pixelSize;
    const int depth = kind != Kind::bitmap && bits > 8 ? 32 : 8;
    const Canvas dib{(size.width * depth / 8 + 3) & ~3LL, size.height};
    if (kind == Kind::pixmap) {
        uint32_t colours = 0;
        // An 8-bit bitmap takes the colours into its palette of 256.
        if (!readColorTable(in, colours) || (depth == 8 && colours > 256)) return {};
        in.skip(18);  // source and destination rectangles, transfer mode
    }
    if (kind == Kind::bitmap) in.skip(2);  // transfer mode
    if (region) skipRegion(in);
    const uint32_t packedRow = kind == Kind::direct ? 0 : rowBytes;
    const Rect& area = kind == Kind::bitmap ? bounds : map.bounds;
    bool whole = false;
    if (bits == 32) whole = unpack32(in, area, packedRow, map.components);
    else if (bits == 8) whole = unpack8(in, dib, area, packedRow);
    else whole = unpackBits(in, dib, area, packedRow, bits);
    return whole && !in.ended() ? size : PictureSize();
}

}  // namespace PictHeader
