#include "PictureHeader.h"

#include <FreeImage.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace PictureHeader {

namespace {

using Bytes = std::vector<unsigned char>;

// Headers that lie at the start of the file lie within this many bytes.
constexpr long long kHead = 1 << 20;
// Boxes, chunks and opcodes passed over on the way to a size at most; a file with more is taken
// for damaged rather than walked without end.
constexpr int kMaxSteps = 100000;

long long n(const Bytes& d) { return static_cast<long long>(d.size()); }
uint32_t byteAt(const Bytes& d, long long i) { return d[static_cast<std::size_t>(i)]; }
uint32_t be16(const Bytes& d, long long i) { return byteAt(d, i) << 8 | byteAt(d, i + 1); }
uint32_t be32(const Bytes& d, long long i) { return be16(d, i) << 16 | be16(d, i + 2); }
uint32_t le16(const Bytes& d, long long i) { return byteAt(d, i) | byteAt(d, i + 1) << 8; }
uint32_t le32(const Bytes& d, long long i) { return le16(d, i) | le16(d, i + 2) << 16; }
int32_t signed16(const Bytes& d, long long i) { return int16_t(be16(d, i)); }
bool startsWith(const Bytes& d, std::string_view s, long long at = 0) {
    return at >= 0 && n(d) - at >= static_cast<long long>(s.size()) &&
           std::memcmp(d.data() + at, s.data(), s.size()) == 0;
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
PictureSize gifSize(const Bytes& d) {
    if (n(d) < 13 || !startsWith(d, "GIF")) return {};
    long long i = 13;
    if (byteAt(d, 10) & 0x80) i += 3LL << ((byteAt(d, 10) & 7) + 1);  // global colour table
    while (i < n(d)) {
        if (byteAt(d, i) == 0x2C) {  // image descriptor
            if (i + 9 > n(d)) return {};
            return sized(le16(d, i + 5), le16(d, i + 7));
        }
        if (byteAt(d, i) != 0x21 || i + 2 > n(d)) return {};  // only extensions come before it
        i += 2;
        while (i < n(d) && byteAt(d, i) != 0) i += byteAt(d, i) + 1;  // sub-blocks up to the empty one
        ++i;
    }
    return {};
}

// IFF: the bitmap header chunk of an ILBM or PBM form.
PictureSize iffSize(const Bytes& d) {
    if (n(d) < 12 || !startsWith(d, "FORM")) return {};
    for (long long i = 12; i + 8 <= n(d);) {
        const uint32_t length = be32(d, i + 4);
        if (startsWith(d, "BMHD", i)) return i + 12 > n(d) ? PictureSize() : sized(be16(d, i + 8), be16(d, i + 10));
        i += 8 + static_cast<long long>(length) + (length & 1);
    }
    return {};
}

// A JPEG 2000 codestream: the image area of its SIZ marker, which must follow the start mark.
PictureSize codestreamSize(PictureSource& file, long long pos) {
    const Bytes d = file.bytes(pos, 24);
    if (n(d) < 24 || be16(d, 0) != 0xFF4F || be16(d, 2) != 0xFF51) return {};
    const uint32_t x = be32(d, 8), y = be32(d, 12), x0 = be32(d, 16), y0 = be32(d, 20);
    return x > x0 && y > y0 ? sized(x - x0, y - y0) : PictureSize();
}

// A .jp2 file: boxes up to the codestream box.
PictureSize jp2Size(PictureSource& file) {
    long long pos = 0;
    for (int step = 0; step < kMaxSteps; ++step) {
        const Bytes box = file.bytes(pos, 16);
        if (n(box) < 8) return {};
        long long header = 8;
        long long length = be32(box, 0);
        if (length == 1) {  // a 64-bit length follows the type
            if (n(box) < 16) return {};
            const uint64_t wide = uint64_t(be32(box, 8)) << 32 | be32(box, 12);
            if (wide > uint64_t(file.size())) return {};
            length = static_cast<long long>(wide);
            header = 16;
        } else if (length == 0) {  // the last box, up to the end of the file
            length = file.size() - pos;
        }
        if (startsWith(box, "jp2c", 4)) return codestreamSize(file, pos + header);
        if (length < header) return {};
        pos += length;
    }
    return {};
}

// MNG: the first embedded PNG or JNG, the picture the library decodes (the frame size in the
// MNG header may differ).
PictureSize mngSize(PictureSource& file) {
    long long pos = 8;
    for (int step = 0; step < kMaxSteps; ++step) {
        const Bytes chunk = file.bytes(pos, 16);
        if (n(chunk) < 8) return {};
        if (startsWith(chunk, "IHDR", 4) || startsWith(chunk, "JHDR", 4))
            return n(chunk) < 16 ? PictureSize() : sized(be32(chunk, 8), be32(chunk, 12));
        if (startsWith(chunk, "MEND", 4)) return {};
        pos += 12 + static_cast<long long>(be32(chunk, 0));
    }
    return {};
}

// SGI: a one-dimensional picture is one row high whatever its height field holds.
PictureSize sgiSize(const Bytes& d) {
    if (n(d) < 12 || be16(d, 0) != 474) return {};
    return sized(be16(d, 6), be16(d, 4) == 1 ? 1 : be16(d, 8));
}

PictureSize ddsSize(const Bytes& d) {
    if (n(d) < 20 || !startsWith(d, "DDS ")) return {};
    return sized(le32(d, 16), le32(d, 12));
}

// WBMP: multi-byte numbers, seven bits a byte, the high bit saying another byte follows.
PictureSize wbmpSize(const Bytes& d) {
    long long i = 0;
    auto number = [&]() -> long long {
        long long value = 0;
        for (int k = 0; k < 5 && i < n(d); ++k) {
            const uint32_t b = byteAt(d, i++);
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        return -1;
    };
    if (number() != 0 || i >= n(d)) return {};  // type 0, the only one there is
    const uint32_t fixed = byteAt(d, i++);
    // An extension header of the bit-field kind is passed over; the other kinds are not read.
    if (fixed & 0x80) {
        if (fixed & 0x60) return {};
        while (i < n(d) && (byteAt(d, i) & 0x80)) ++i;
        ++i;
    }
    const long long width = number();
    const long long height = number();
    return width < 0 || height < 0 ? PictureSize() : sized(width, height);
}

// The number of a "#define <name>width N" line (name empty or ending in '_') before the brace.
std::optional<long long> xbmDefine(std::string_view text, std::string_view what) {
    auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t at = text.find("#define"); at != std::string_view::npos; at = text.find("#define", at + 1)) {
        std::size_t i = at + 7;
        if (i >= text.size() || !space(text[i])) continue;
        while (i < text.size() && space(text[i])) ++i;
        const std::size_t nameStart = i;
        while (i < text.size() && !space(text[i])) ++i;
        const std::string_view name = text.substr(nameStart, i - nameStart);
        if (name.size() < what.size() || name.substr(name.size() - what.size()) != what) continue;
        if (name.size() > what.size() && name[name.size() - what.size() - 1] != '_') continue;
        if (i >= text.size() || !space(text[i])) continue;
        while (i < text.size() && space(text[i])) ++i;
        std::size_t digits = 0;
        long long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 13) {
            value = value * 10 + (text[i++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 12) continue;
        if (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) continue;
        return value;
    }
    return std::nullopt;
}

// XBM: the C source's "#define name_width N" and "#define name_height N", then the bits as hex
// numbers, bytes or (X10 form) 16-bit words. The library reads them from the line after the
// brace on and waits without end for numbers a cut-off file does not hold, so the size is known
// only when they are all there.
PictureSize xbmSize(PictureSource& file) {
    const Bytes head = file.bytes(0, kHead);
    const auto brace = std::find(head.begin(), head.end(), '{');
    const auto lineEnd = std::find(brace, head.end(), '\n');
    if (lineEnd == head.end()) return {};
    const std::string_view defines(reinterpret_cast<const char*>(head.data()), brace - head.begin());
    const auto w = xbmDefine(defines, "width");
    const auto h = xbmDefine(defines, "height");
    if (!w || !h) return {};
    const PictureSize size = sized(*w, *h);
    if (!size.known || size.tooLarge()) return size;
    const int bits = defines.find("short") != std::string_view::npos ? 16 : 8;
    const long long needed = (size.width + bits - 1) / bits * size.height;
    long long numbers = 0;
    char previous = 0;
    for (long long pos = lineEnd - head.begin() + 1; numbers < needed; ++pos) {
        const int c = file.byte(pos);
        if (c < 0) return {};
        if ((c == 'x' || c == 'X') && previous == '0') ++numbers;
        previous = static_cast<char>(c);
    }
    return size;
}

// A JPEG's size from its first frame header.
PictureSize jpegSize(const Bytes& d) {
    long long i = 2;
    while (i + 9 <= n(d) && byteAt(d, i) == 0xFF) {
        const uint32_t marker = byteAt(d, i + 1);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return sized(be16(d, i + 7), be16(d, i + 5));
        i += 2 + be16(d, i + 2);
    }
    return {};
}

// Bytes of data after a PICT opcode, or -1 for one whose length is not known here (patterns).
long long pictDataLength(uint32_t op, PictureSource& file, long long pos) {
    auto word = [&](long long at) { const Bytes b = file.bytes(at, 2); return n(b) < 2 ? -1 : static_cast<long long>(be16(b, 0)); };
    auto byte = [&](long long at) { return static_cast<long long>(file.byte(at)); };
    auto plus = [](long long fixed, long long more) { return more < 0 ? -1 : fixed + more; };
    static const int8_t fixed[0x24] = {0, -1, 8, 2, 1, 2, 4, 4, 2, 8, 8, 4, 4, 2, 4, 4,
                                       8, 1, -1, -1, -1, 2, 2, 0, 0, 0, 6, 6, 0, 6, 0, 6,
                                       8, 4, 6, 2};
    if (op < 0x24 && fixed[op] >= 0) return fixed[op];
    if (op == 0x01) return word(pos);                         // clip region, its size first
    if (op < 0x24) return -1;                                 // patterns
    if (op <= 0x27 || (op >= 0x2C && op <= 0x2F)) return plus(2, word(pos));
    if (op == 0x28) return plus(5, byte(pos + 4));            // text: point, then a counted string
    if (op == 0x29 || op == 0x2A) return plus(2, byte(pos + 1));
    if (op == 0x2B) return plus(3, byte(pos + 2));
    if (op <= 0x6F) {                                         // shapes, with or without a rectangle
        static const int8_t shapes[] = {8, 0, 8, 0, 8, 0, 12, 4};
        return shapes[(op - 0x30) >> 3];
    }
    if (op <= 0x8F) return (op & 8) ? 0 : word(pos);          // polygons and regions
    if (op <= 0x9F) return plus(2, word(pos));                // reserved (the bitmaps never come here)
    if (op == 0xA0) return 2;
    if (op == 0xA1) return plus(4, word(pos + 2));
    if (op <= 0xAF) return plus(2, word(pos));
    if (op <= 0xCF) return 0;
    if (op <= 0xFE || op >= 0x8100) {
        const Bytes b = file.bytes(pos, 4);
        return n(b) < 4 ? -1 : 4 + static_cast<long long>(be32(b, 0));
    }
    if (op <= 0x7FFF) return (op >> 8) * 2;
    return 0;
}

// A bit or pixel map drawn by a PICT opcode: its size, and how many bytes its record and
// pixels take after the opcode (-1 when they are cut off).
struct PictMap {
    PictureSize size;
    long long length = -1;
};

PictMap pictMap(uint32_t op, PictureSource& file, long long pos) {
    PictMap map;
    const bool direct = op >= 0x9A;  // no colour table, a base address first
    long long at = pos + (direct ? 4 : 0);
    const Bytes head = file.bytes(at, 46);
    if (n(head) < 10) return map;
    const uint32_t rowField = be16(head, 0);
    const long long rowBytes = rowField & 0x3FFF;
    const long long height = signed16(head, 6) - signed16(head, 2);
    map.size = sized(signed16(head, 8) - signed16(head, 4), height);
    uint32_t packType = 0;
    if (direct || (rowField & 0x8000)) {  // a pixel map record
        if (n(head) < 46) return map;
        packType = be16(head, 12);
        at += 46;
        if (!direct) {
            const Bytes table = file.bytes(at, 8);
            if (n(table) < 8) return map;
            at += 8 + (static_cast<long long>(be16(table, 6)) + 1) * 8;
        }
    } else {
        at += 10;  // a bit map record
    }
    at += 18;  // source and destination rectangles, transfer mode
    if (op & 1) {  // a mask region, its size first
        const Bytes region = file.bytes(at, 2);
        if (n(region) < 2) return map;
        at += be16(region, 0);
    }
    if (!map.size.known) return map;
    // The pixels: rows as they are, or packed rows each after its byte count.
    if (rowBytes < 8 || op == 0x90 || op == 0x91 || packType == 1 || packType == 2) {
        at += (packType == 2 ? map.size.width * 3 : rowBytes) * height;
    } else {
        const int countBytes = rowBytes > 250 ? 2 : 1;
        for (long long y = 0; y < height; ++y) {
            const Bytes count = file.bytes(at, countBytes);
            if (n(count) < countBytes) return map;
            at += countBytes + (countBytes == 2 ? be16(count, 0) : byteAt(count, 0));
        }
    }
    map.length = at - pos;
    return map;
}

// PICT: the first bit or pixel map its opcodes draw, or the JPEG of a QuickTime-compressed
// picture; the frame in its header is in points and may differ from either. The library reads
// a picture cut off before its end opcode without end, so only a whole one has a size.
PictureSize pictSize(PictureSource& file) {
    // The 512-byte header of a Mac file may be there or not; the picture starts with its size
    // and frame (10 bytes), then the version opcode: 0x0011 0x02FF (two-byte opcodes, each at an
    // even offset) or 0x11 0x01 (one-byte opcodes).
    for (const long long start : {512LL, 0LL}) {
        const Bytes version = file.bytes(start + 10, 4);
        const bool two = n(version) == 4 && startsWith(version, std::string_view("\x00\x11\x02\xFF", 4));
        if (!two && !startsWith(version, "\x11\x01")) continue;
        std::optional<PictureSize> first;
        long long pos = start + 10;
        for (int step = 0; step < kMaxSteps; ++step) {
            if (two && ((pos - start) & 1)) ++pos;
            const Bytes code = file.bytes(pos, two ? 2 : 1);
            if (n(code) < (two ? 2 : 1)) return {};
            const uint32_t op = two ? be16(code, 0) : byteAt(code, 0);
            pos += n(code);
            long long length = 0;
            if (op == 0xFF) return first.value_or(PictureSize());
            if (op == 0x90 || op == 0x91 || (op >= 0x98 && op <= 0x9B)) {
                const PictMap map = pictMap(op, file, pos);
                if (!first) first = map.size;
                if (first->tooLarge()) return *first;  // refused whatever follows
                length = map.length;
            } else if (op == 0x8200) {
                const Bytes size = file.bytes(pos, 4);
                if (n(size) < 4) return {};
                length = 4 + static_cast<long long>(be32(size, 0));
                if (!first) {
                    const Bytes data = file.bytes(pos + 4, static_cast<std::size_t>(std::min<long long>(length - 4, kHead)));
                    static const unsigned char soi[] = {0xFF, 0xD8, 0xFF};
                    const auto jpeg = std::search(data.begin(), data.end(), std::begin(soi), std::end(soi));
                    first = jpeg == data.end() ? PictureSize() : jpegSize(Bytes(jpeg, data.end()));
                }
            } else {
                length = pictDataLength(op, file, pos);
            }
            if (length < 0 || (first && !first->known)) return {};
            pos += length;
        }
        return {};
    }
    return {};
}

}  // namespace

bool Reads(int format) {
    switch (format) {
        case FIF_GIF: case FIF_IFF: case FIF_J2K: case FIF_JP2: case FIF_SGI: case FIF_DDS:
        case FIF_WBMP: case FIF_XBM: case FIF_PICT: case FIF_KOALA: case FIF_MNG:
            return true;
        default:
            return false;
    }
}

PictureSize Size(int format, PictureSource& file) {
    switch (format) {
        case FIF_J2K: return codestreamSize(file, 0);
        case FIF_JP2: return jp2Size(file);
        case FIF_MNG: return mngSize(file);
        case FIF_PICT: return pictSize(file);
        case FIF_KOALA: return sized(320, 200);  // a C64 multicolour screen, always
        case FIF_XBM: return xbmSize(file);
        default: break;
    }
    const Bytes head = file.bytes(0, kHead);
    switch (format) {
        case FIF_GIF: return gifSize(head);
        case FIF_IFF: return iffSize(head);
        case FIF_SGI: return sgiSize(head);
        case FIF_DDS: return ddsSize(head);
        case FIF_WBMP: return wbmpSize(head);
        default: return {};
    }
}

}  // namespace PictureHeader
