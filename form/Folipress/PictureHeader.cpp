#include "PictureHeader.h"

#include <FreeImage.h>

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace PictureHeader {

namespace {

using FreeImageBinding::PictureSize;

// Headers that lie at the start of the file lie within this many bytes.
constexpr qint64 kHead = 1 << 20;
// Boxes, chunks and opcodes passed over on the way to a size at most; a file with more is taken
// for damaged rather than walked without end.
constexpr int kMaxSteps = 100000;

QByteArray bytesAt(QIODevice& file, qint64 pos, qint64 n) {
    return pos >= 0 && file.seek(pos) ? file.read(n) : QByteArray();
}

quint32 byteAt(const QByteArray& d, qsizetype i) { return quint8(d[i]); }
quint32 be16(const QByteArray& d, qsizetype i) { return byteAt(d, i) << 8 | byteAt(d, i + 1); }
quint32 be32(const QByteArray& d, qsizetype i) { return be16(d, i) << 16 | be16(d, i + 2); }
quint32 le16(const QByteArray& d, qsizetype i) { return byteAt(d, i) | byteAt(d, i + 1) << 8; }
quint32 le32(const QByteArray& d, qsizetype i) { return le16(d, i) | le16(d, i + 2) << 16; }
qint32 signed16(const QByteArray& d, qsizetype i) { return qint16(be16(d, i)); }

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
PictureSize gifSize(const QByteArray& d) {
    const qsizetype n = d.size();
    if (n < 13 || !d.startsWith("GIF")) return {};
    qsizetype i = 13;
    if (byteAt(d, 10) & 0x80) i += 3LL << ((byteAt(d, 10) & 7) + 1);  // global colour table
    while (i < n) {
        if (byteAt(d, i) == 0x2C) {  // image descriptor
            if (i + 9 > n) return {};
            return sized(le16(d, i + 5), le16(d, i + 7));
        }
        if (byteAt(d, i) != 0x21 || i + 2 > n) return {};  // only extensions come before it
        i += 2;
        while (i < n && byteAt(d, i) != 0) i += byteAt(d, i) + 1;  // sub-blocks up to the empty one
        ++i;
    }
    return {};
}

// IFF: the bitmap header chunk of an ILBM or PBM form.
PictureSize iffSize(const QByteArray& d) {
    const qsizetype n = d.size();
    if (n < 12 || !d.startsWith("FORM")) return {};
    for (qsizetype i = 12; i + 8 <= n;) {
        const quint32 length = be32(d, i + 4);
        if (d.mid(i, 4) == "BMHD") return i + 12 > n ? PictureSize() : sized(be16(d, i + 8), be16(d, i + 10));
        i += 8 + qsizetype(length) + (length & 1);
    }
    return {};
}

// A JPEG 2000 codestream: the image area of its SIZ marker, which must follow the start mark.
PictureSize codestreamSize(QIODevice& file, qint64 pos) {
    const QByteArray d = bytesAt(file, pos, 24);
    if (d.size() < 24 || be16(d, 0) != 0xFF4F || be16(d, 2) != 0xFF51) return {};
    const quint32 x = be32(d, 8), y = be32(d, 12), x0 = be32(d, 16), y0 = be32(d, 20);
    return x > x0 && y > y0 ? sized(x - x0, y - y0) : PictureSize();
}

// A .jp2 file: boxes up to the codestream box.
PictureSize jp2Size(QIODevice& file) {
    qint64 pos = 0;
    for (int step = 0; step < kMaxSteps; ++step) {
        const QByteArray box = bytesAt(file, pos, 16);
        if (box.size() < 8) return {};
        qint64 header = 8;
        qint64 length = be32(box, 0);
        if (length == 1) {  // a 64-bit length follows the type
            if (box.size() < 16) return {};
            length = qint64(quint64(be32(box, 8)) << 32 | be32(box, 12));
            header = 16;
        } else if (length == 0) {  // the last box, up to the end of the file
            length = file.size() - pos;
        }
        if (box.mid(4, 4) == "jp2c") return codestreamSize(file, pos + header);
        if (length < header) return {};
        pos += length;
    }
    return {};
}

// MNG: the first embedded PNG or JNG, the picture the library decodes (the frame size in the
// MNG header may differ).
PictureSize mngSize(QIODevice& file) {
    qint64 pos = 8;
    for (int step = 0; step < kMaxSteps; ++step) {
        const QByteArray chunk = bytesAt(file, pos, 16);
        if (chunk.size() < 8) return {};
        const QByteArray type = chunk.mid(4, 4);
        if (type == "IHDR" || type == "JHDR")
            return chunk.size() < 16 ? PictureSize() : sized(be32(chunk, 8), be32(chunk, 12));
        if (type == "MEND") return {};
        pos += 12 + qint64(be32(chunk, 0));
    }
    return {};
}

// SGI: a one-dimensional picture is one row high whatever its height field holds.
PictureSize sgiSize(const QByteArray& d) {
    if (d.size() < 12 || be16(d, 0) != 474) return {};
    return sized(be16(d, 6), be16(d, 4) == 1 ? 1 : be16(d, 8));
}

PictureSize ddsSize(const QByteArray& d) {
    if (d.size() < 20 || !d.startsWith("DDS ")) return {};
    return sized(le32(d, 16), le32(d, 12));
}

// WBMP: multi-byte numbers, seven bits a byte, the high bit saying another byte follows.
PictureSize wbmpSize(const QByteArray& d) {
    qsizetype i = 0;
    auto number = [&]() -> long long {
        long long value = 0;
        for (int k = 0; k < 5 && i < d.size(); ++k) {
            const quint32 b = byteAt(d, i++);
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        return -1;
    };
    if (number() != 0 || i >= d.size()) return {};  // type 0, the only one there is
    const quint32 fixed = byteAt(d, i++);
    // An extension header of the bit-field kind is passed over; the other kinds are not read.
    if (fixed & 0x80) {
        if (fixed & 0x60) return {};
        while (i < d.size() && (byteAt(d, i) & 0x80)) ++i;
        ++i;
    }
    const long long width = number();
    const long long height = number();
    return width < 0 || height < 0 ? PictureSize() : sized(width, height);
}

// XBM: the C source's "#define name_width N" and "#define name_height N", then the bits as hex
// numbers, bytes or (X10 form) 16-bit words. The library reads them from the line after the
// brace on and waits without end for numbers a cut-off file does not hold, so the size is known
// only when they are all there.
PictureSize xbmSize(QIODevice& file) {
    static const QRegularExpression width(QStringLiteral("#define\\s+(?:\\S*_)?width\\s+(\\d{1,12})\\b"));
    static const QRegularExpression height(QStringLiteral("#define\\s+(?:\\S*_)?height\\s+(\\d{1,12})\\b"));
    const QByteArray head = bytesAt(file, 0, kHead);
    const qsizetype brace = head.indexOf('{');
    const qsizetype lineEnd = brace < 0 ? -1 : head.indexOf('\n', brace);
    if (lineEnd < 0) return {};
    const QString defines = QString::fromLatin1(head.left(brace));
    const auto w = width.match(defines);
    const auto h = height.match(defines);
    if (!w.hasMatch() || !h.hasMatch()) return {};
    const PictureSize size = sized(w.captured(1).toLongLong(), h.captured(1).toLongLong());
    if (!size.known || size.tooLarge()) return size;
    const int bits = defines.contains(QLatin1String("short")) ? 16 : 8;
    const long long needed = (size.width + bits - 1) / bits * size.height;
    long long numbers = 0;
    char previous = 0;
    if (!file.seek(lineEnd + 1)) return {};
    while (numbers < needed) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty()) return {};
        for (const char c : chunk) {
            if ((c == 'x' || c == 'X') && previous == '0') ++numbers;
            previous = c;
        }
    }
    return size;
}

// A JPEG's size from its first frame header.
PictureSize jpegSize(const QByteArray& d) {
    qsizetype i = 2;
    while (i + 9 <= d.size() && byteAt(d, i) == 0xFF) {
        const quint32 marker = byteAt(d, i + 1);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return sized(be16(d, i + 7), be16(d, i + 5));
        i += 2 + be16(d, i + 2);
    }
    return {};
}

// Bytes of data after a PICT opcode, or -1 for one whose length is not known here (patterns).
qint64 pictDataLength(quint32 op, QIODevice& file, qint64 pos) {
    auto word = [&](qint64 at) { const QByteArray b = bytesAt(file, at, 2); return b.size() < 2 ? -1 : qint64(be16(b, 0)); };
    auto byte = [&](qint64 at) { const QByteArray b = bytesAt(file, at, 1); return b.isEmpty() ? -1 : qint64(byteAt(b, 0)); };
    auto plus = [](qint64 fixed, qint64 more) { return more < 0 ? -1 : fixed + more; };
    static const qint8 fixed[0x24] = {0, -1, 8, 2, 1, 2, 4, 4, 2, 8, 8, 4, 4, 2, 4, 4,
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
        static const qint8 shapes[] = {8, 0, 8, 0, 8, 0, 12, 4};
        return shapes[(op - 0x30) >> 3];
    }
    if (op <= 0x8F) return (op & 8) ? 0 : word(pos);          // polygons and regions
    if (op <= 0x9F) return plus(2, word(pos));                // reserved (the bitmaps never come here)
    if (op == 0xA0) return 2;
    if (op == 0xA1) return plus(4, word(pos + 2));
    if (op <= 0xAF) return plus(2, word(pos));
    if (op <= 0xCF) return 0;
    if (op <= 0xFE || op >= 0x8100) {
        const QByteArray b = bytesAt(file, pos, 4);
        return b.size() < 4 ? -1 : 4 + qint64(be32(b, 0));
    }
    if (op <= 0x7FFF) return (op >> 8) * 2;
    return 0;
}

// A bit or pixel map drawn by a PICT opcode: its size, and how many bytes its record and
// pixels take after the opcode (-1 when they are cut off).
struct PictMap {
    PictureSize size;
    qint64 length = -1;
};

PictMap pictMap(quint32 op, QIODevice& file, qint64 pos) {
    PictMap map;
    const bool direct = op >= 0x9A;  // no colour table, a base address first
    qint64 at = pos + (direct ? 4 : 0);
    const QByteArray head = bytesAt(file, at, 46);
    if (head.size() < 10) return map;
    const quint32 rowField = be16(head, 0);
    const qint64 rowBytes = rowField & 0x3FFF;
    const qint64 height = signed16(head, 6) - signed16(head, 2);
    map.size = sized(signed16(head, 8) - signed16(head, 4), height);
    quint32 packType = 0;
    if (direct || (rowField & 0x8000)) {  // a pixel map record
        if (head.size() < 46) return map;
        packType = be16(head, 12);
        at += 46;
        if (!direct) {
            const QByteArray table = bytesAt(file, at, 8);
            if (table.size() < 8) return map;
            at += 8 + (qint64(be16(table, 6)) + 1) * 8;
        }
    } else {
        at += 10;  // a bit map record
    }
    at += 18;  // source and destination rectangles, transfer mode
    if (op & 1) {  // a mask region, its size first
        const QByteArray region = bytesAt(file, at, 2);
        if (region.size() < 2) return map;
        at += be16(region, 0);
    }
    if (!map.size.known) return map;
    // The pixels: rows as they are, or packed rows each after its byte count.
    if (rowBytes < 8 || op == 0x90 || op == 0x91 || packType == 1 || packType == 2) {
        at += (packType == 2 ? map.size.width * 3 : rowBytes) * height;
    } else {
        const int countBytes = rowBytes > 250 ? 2 : 1;
        for (qint64 y = 0; y < height; ++y) {
            const QByteArray count = bytesAt(file, at, countBytes);
            if (count.size() < countBytes) return map;
            at += countBytes + (countBytes == 2 ? be16(count, 0) : byteAt(count, 0));
        }
    }
    map.length = at - pos;
    return map;
}

// PICT: the first bit or pixel map its opcodes draw, or the JPEG of a QuickTime-compressed
// picture; the frame in its header is in points and may differ from either. The library reads
// a picture cut off before its end opcode without end, so only a whole one has a size.
PictureSize pictSize(QIODevice& file) {
    // The 512-byte header of a Mac file may be there or not; the picture starts with its size
    // and frame (10 bytes), then the version opcode: 0x0011 0x02FF (two-byte opcodes, each at an
    // even offset) or 0x11 0x01 (one-byte opcodes).
    for (const qint64 start : {qint64(512), qint64(0)}) {
        const QByteArray version = bytesAt(file, start + 10, 4);
        const bool two = version == QByteArray("\x00\x11\x02\xFF", 4);
        if (!two && !version.startsWith(QByteArray("\x11\x01", 2))) continue;
        std::optional<PictureSize> first;
        qint64 pos = start + 10;
        for (int step = 0; step < kMaxSteps; ++step) {
            if (two && ((pos - start) & 1)) ++pos;
            const QByteArray code = bytesAt(file, pos, two ? 2 : 1);
            if (code.size() < (two ? 2 : 1)) return {};
            const quint32 op = two ? be16(code, 0) : byteAt(code, 0);
            pos += code.size();
            qint64 length = 0;
            if (op == 0xFF) return first.value_or(PictureSize());
            if (op == 0x90 || op == 0x91 || (op >= 0x98 && op <= 0x9B)) {
                const PictMap map = pictMap(op, file, pos);
                if (!first) first = map.size;
                if (first->tooLarge()) return *first;  // refused whatever follows
                length = map.length;
            } else if (op == 0x8200) {
                const QByteArray size = bytesAt(file, pos, 4);
                if (size.size() < 4) return {};
                length = 4 + qint64(be32(size, 0));
                if (!first) {
                    const QByteArray data = bytesAt(file, pos + 4, std::min<qint64>(length - 4, kHead));
                    const qsizetype jpeg = data.indexOf(QByteArray("\xFF\xD8\xFF", 3));
                    first = jpeg < 0 ? PictureSize() : jpegSize(data.mid(jpeg));
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

PictureSize Size(int format, QIODevice& file) {
    switch (format) {
        case FIF_J2K: return codestreamSize(file, 0);
        case FIF_JP2: return jp2Size(file);
        case FIF_MNG: return mngSize(file);
        case FIF_PICT: return pictSize(file);
        case FIF_KOALA: return sized(320, 200);  // a C64 multicolour screen, always
        case FIF_XBM: return xbmSize(file);
        default: break;
    }
    const QByteArray head = bytesAt(file, 0, kHead);
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
