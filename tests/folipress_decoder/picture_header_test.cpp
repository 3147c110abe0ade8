// The header readers give the size the image library decodes, or none where the library would
// fail, loop or write past its buffers; a picture beyond the bound is refused by its size.
#include <FreeImage.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "JpegHeader.h"
#include "PictureHeader.h"

namespace {

using Bytes = std::string;

Bytes be16(unsigned v) { return {char(v >> 8), char(v)}; }
Bytes be32(unsigned v) { return be16(v >> 16) + be16(v & 0xFFFF); }
Bytes le32(unsigned v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
Bytes zeros(std::size_t n) { return Bytes(n, '\0'); }
Bytes rect(unsigned w, unsigned h) { return be16(0) + be16(0) + be16(h) + be16(w); }

PictureSize sizeOf(int format, const Bytes& b) {
    PictureSource source(reinterpret_cast<const unsigned char*>(b.data()), b.size());
    return PictureHeader::Size(format, source);
}

// A version 2 PICT: the Mac header, size, frame and version opcodes, then these opcodes.
Bytes pict(const Bytes& opcodes) {
    return zeros(512) + be16(0) + rect(10, 10) + be16(0x11) + be16(0x2FF) + be16(0xC00) + zeros(24) + opcodes +
           be16(0xFF);
}

// An 8-bit pixel map with a colour table of the given indexes, each row a count byte and w bytes.
Bytes pixmap8(unsigned w, unsigned h, const std::vector<unsigned>& indexes) {
    Bytes p = be16(0x98) + be16(0x8000 | w) + rect(w, h) + zeros(18) + be16(8) + be16(1) + zeros(14) + be32(0) +
              be16(0) + be16(unsigned(indexes.size()) - 1);
    for (unsigned i : indexes) p += be16(i) + zeros(6);
    p += rect(w, h) + rect(w, h) + be16(0);
    for (unsigned y = 0; y < h; ++y) p += Bytes(1, char(w)) + zeros(w);
    return p;
}

std::vector<unsigned> table(unsigned n) {
    std::vector<unsigned> t(n);
    for (unsigned i = 0; i < n; ++i) t[i] = i;
    return t;
}

// A 1-bit bit map; rows of 8 bytes or more are packed (a literal run each).
Bytes bitmap(unsigned w, unsigned h) {
    const unsigned rowBytes = (w + 15) / 16 * 2;
    Bytes p = be16(0x90) + be16(rowBytes) + rect(w, h) + rect(w, h) + rect(w, h) + be16(0);
    for (unsigned y = 0; y < h; ++y)
        p += rowBytes < 8 ? zeros(rowBytes) : Bytes(1, char(rowBytes + 1)) + Bytes(1, char(rowBytes - 1)) + zeros(rowBytes);
    return p;
}

Bytes dds(unsigned flags, const Bytes& code, unsigned w, unsigned h) {
    return "DDS " + le32(124) + le32(0x1007) + le32(h) + le32(w) + zeros(56) + le32(32) + le32(flags) + code +
           le32(24) + zeros(40);
}

Bytes iff(const Bytes& type, const Bytes& chunks) { return "FORM" + be32(unsigned(4 + chunks.size())) + type + chunks; }
Bytes bmhd(unsigned w, unsigned h, unsigned compression) {
    return "BMHD" + be32(20) + be16(w) + be16(h) + zeros(4) + Bytes{8, 0, char(compression), 0} + zeros(8);
}

Bytes mngChunk(const Bytes& type, const Bytes& data) { return be32(unsigned(data.size())) + type + data + zeros(4); }
Bytes mng(const Bytes& chunks) { return "\x8aMNG\r\n\x1a\n" + chunks; }

Bytes frame(unsigned marker, unsigned w, unsigned h) {
    return "\xFF" + Bytes(1, char(marker)) + be16(11) + "\x08" + be16(h) + be16(w) + "\x01\x01\x11\x00";
}

struct Expected {
    const char* name;
    int format;
    Bytes bytes;
    long long width, height;  // 0 x 0: no size
};

void expectSize(const PictureSize& size, long long width, long long height, const std::string& name) {
    EXPECT_EQ(size.known, width > 0) << name;
    EXPECT_EQ(size.width, width) << name;
    EXPECT_EQ(size.height, height) << name;
}

}  // namespace

TEST(PictureHeader, FixturesGiveTheSizeTheLibraryDecodesOrNone) {
    const struct {
        const char* name;
        int format;
        long long width, height;
    } fixtures[] = {
        {"scan.jp2", FIF_JP2, 72, 48}, {"scan.j2k", FIF_J2K, 48, 64}, {"scan.sgi", FIF_SGI, 13, 7},
        {"scan.dds", FIF_DDS, 14, 9}, {"scan.wbmp", FIF_WBMP, 21, 11}, {"scan.xbm", FIF_XBM, 19, 5},
        {"scan.pict", FIF_PICT, 17, 6}, {"quicktime.pict", FIF_PICT, 33, 21}, {"scan.koa", FIF_KOALA, 320, 200},
        {"scan.mng", FIF_MNG, 23, 15}, {"bomb.mng", FIF_MNG, 30000, 30000}, {"bomb.pict", FIF_PICT, 30000, 30000},
        {"hostile-wrap.dds", FIF_DDS, 20000, 20000}, {"hostile-negative.dds", FIF_DDS, 0, 0},
        {"hostile-wrap.wbmp", FIF_WBMP, 30000, 30000}, {"hostile-extension.wbmp", FIF_WBMP, 65535, 65535},
        {"hostile-overflow.xbm", FIF_XBM, 0, 0}, {"hostile-twosizes.xbm", FIF_XBM, 0, 0},
        {"hostile-short.xbm", FIF_XBM, 0, 0}, {"hostile-cutnumber.xbm", FIF_XBM, 0, 0},
        {"hostile-cut.iff", FIF_IFF, 0, 0}, {"hostile-cut-small.iff", FIF_IFF, 0, 0},
        {"hostile-jng.mng", FIF_MNG, 17000, 17000}, {"hostile-bounds.pict", FIF_PICT, 8000, 65534},
        {"hostile-fill.pict", FIF_PICT, 17000, 17000}, {"hostile-1bit.pict", FIF_PICT, 0, 0},
        {"hostile-8bit.pict", FIF_PICT, 0, 0},
    };
    for (const auto& f : fixtures) {
        const int fd = ::open((std::string(LUMIDOC_TEST_DATA "/pictures/") + f.name).c_str(), O_RDONLY);
        ASSERT_GE(fd, 0) << f.name;
        PictureSource source(fd);
        expectSize(PictureHeader::Size(f.format, source), f.width, f.height, f.name);
        EXPECT_LE(source.bytesRead(), source.size()) << f.name;  // one pass at most
        ::close(fd);
    }
}

TEST(PictureHeader, EachReaderFollowsTheLibrarysReading) {
    const Bytes jfif = "\xFF\xD8\xFF\xE0" + be16(16) + "JFIF" + zeros(10);
    const Expected cases[] = {
        // PICT: colour tables the library's 256 entries hold, or not; a clip region that would
        // send it backwards; a QuickTime opcode whose JPEG the file ends before; a 1-bit bit map
        // unpacked 8 bytes a byte, past its rows when they are not packed.
        {"8-bit pixel map", FIF_PICT, pict(pixmap8(4, 2, table(2))), 4, 2},
        {"257 colours", FIF_PICT, pict(pixmap8(4, 2, table(257))), 0, 0},
        {"colour index 300", FIF_PICT, pict(pixmap8(4, 2, {0, 300, 2, 3})), 0, 0},
        {"colour index 300 of 400", FIF_PICT, pict(pixmap8(4, 2, [] { auto t = table(400); t[1] = 300; return t; }())), 0, 0},
        {"clip region of length 0", FIF_PICT, pict(be16(1) + be16(0) + pixmap8(4, 2, table(2))), 0, 0},
        {"QuickTime without a JPEG", FIF_PICT, zeros(512) + be16(0) + rect(1, 1) + be16(0x11) + be16(0x2FF) +
                                                   be16(0x8200) + be32(100) + zeros(10), 0, 0},
        {"packed 1-bit rows", FIF_PICT, pict(bitmap(64, 2)), 64, 2},
        {"unpacked 1-bit rows", FIF_PICT, pict(bitmap(16, 2)), 0, 0},
        {"only drawing", FIF_PICT, pict(be16(0x30) + zeros(8)), 0, 0},
        // XBM: the X10 form of 16-bit words (a row of 8 bits padded to a word), a size cut to
        // an int, a line too long, a number over a byte, a declaration not at a line's start.
        {"X10 words", FIF_XBM, Bytes("#define x_width 8\n#define x_height 2\nstatic short x_bits[] = {\n0x0000,0x0000};\n"), 8, 2},
        {"width 2^32 + 8", FIF_XBM, Bytes("#define x_width 4294967304\n#define x_height 1\nstatic char x_bits[] = {\n0x00};\n"), 8, 1},
        {"a line of 510", FIF_XBM, "#define x_width 8\n#define x_height 1\n" + Bytes(510, ' ') + "\nstatic char x_bits[] = {\n0x00};\n", 0, 0},
        {"0x123", FIF_XBM, Bytes("#define x_width 8\n#define x_height 1\nstatic char x_bits[] = {\n0x123};\n"), 0, 0},
        {"indented declaration", FIF_XBM, Bytes("#define x_width 8\n#define x_height 1\n static char x_bits[] = {\n0x00};\n"), 0, 0},
        // WBMP: a type of 65536 is 0 in 16 bits; parameter extensions passed over; the end
        // inside the extensions.
        {"type 65536", FIF_WBMP, Bytes("\x84\x80\x00\x00\x05\x03", 6), 5, 3},
        {"parameter extension", FIF_WBMP, Bytes("\x00\x80\x61", 3) + zeros(7) + "\x05\x03", 5, 3},
        {"cut in its extensions", FIF_WBMP, Bytes("\x00\x80\x80", 3), 0, 0},
        // DDS: compressed pictures cut to whole blocks; pixels of neither kind.
        {"DXT1", FIF_DDS, dds(0x4, "DXT1", 14, 9), 12, 8},
        {"no pixel kind", FIF_DDS, dds(0x0, "DXT1", 14, 9), 0, 0},
        // IFF: the last bitmap header counts; packed PBM rows that run out of the bitmap.
        {"two bitmap headers", FIF_IFF, iff("ILBM", bmhd(8, 2, 0) + bmhd(16, 4, 0) + "BODY" + be32(0)), 16, 4},
        {"packed PBM rows", FIF_IFF, iff("PBM ", bmhd(8, 1, 1) + "BODY" + be32(9) + "\x07" + zeros(8)), 8, 1},
        {"a run out of the bitmap", FIF_IFF, iff("PBM ", bmhd(8, 1, 1) + "BODY" + be32(129) + "\x7F" + zeros(128)), 0, 0},
        {"a body before any header", FIF_IFF, iff("ILBM", "BODY" + be32(0)), 0, 0},
        // MNG: text the library reads to a zero byte; a PNG whose end chunk is missing.
        {"text without its zero", FIF_MNG, mng(mngChunk("tEXt", "abc") + mngChunk("MEND", "")), 0, 0},
        {"PNG without its end", FIF_MNG, mng(mngChunk("IHDR", be32(5) + be32(3) + zeros(5))), 0, 0},
        // SGI: fewer than two dimensions, one row.
        {"one dimension", FIF_SGI, (be16(474) + Bytes{0, 1} + be16(0) + be16(5) + be16(7)).append(502, '\0'), 5, 1},
        // JPEG 2000: a box longer than the file.
        {"box past the end", FIF_JP2, be32(1) + "jP  " + be32(0xFFFFFFFF) + be32(0xFFFFFFF0) + zeros(8), 0, 0},
    };
    for (const auto& c : cases) expectSize(sizeOf(c.format, c.bytes), c.width, c.height, c.name);

    // JPEG markers walked as the decoder walks them.
    const Expected jpegs[] = {
        {"garbage and stuffed zero", 0, "\xFF\xD8\x12\x34\xFF" + zeros(1) + frame(0xC0, 5, 3), 5, 3},
        {"fill bytes", 0, jfif + "\xFF\xFF\xFF" + frame(0xC2, 5, 3), 5, 3},
        {"APP of length 1", 0, "\xFF\xD8\xFF\xE1" + be16(1) + frame(0xC0, 5, 3), 5, 3},
        {"lossless", 0, jfif + frame(0xC3, 5, 3), 0, 0},
        {"scan before frame", 0, jfif + "\xFF\xDA" + be16(8) + frame(0xC0, 5, 3), 0, 0},
        {"restart interval of 5", 0, jfif + "\xFF\xDD" + be16(5) + zeros(3) + frame(0xC0, 5, 3), 0, 0},
        {"frame of a bad length", 0, jfif + "\xFF\xC0" + be16(12) + "\x08" + be16(3) + be16(5) + "\x01\x01\x11\x00", 0, 0},
        {"cut off", 0, jfif + "\xFF\xC0" + be16(11), 0, 0},
    };
    for (const auto& j : jpegs) {
        PictureSource source(reinterpret_cast<const unsigned char*>(j.bytes.data()), j.bytes.size());
        PictureCursor cursor(source);
        expectSize(JpegHeader::Size(cursor), j.width, j.height, j.name);
    }
}

TEST(PictureHeader, TheSizeCheckCannotWrap) {
    const struct {
        long long width, height;
        bool tooLarge;
    } sizes[] = {
        {16384, 16384, false}, {16385, 16384, true}, {kMaxPicturePixels, 1, false}, {1, kMaxPicturePixels + 1, true},
        {0xFFFFFFFFLL, 0xFFFFFFFFLL, true}, {LLONG_MAX, LLONG_MAX, true}, {LLONG_MAX, 0, false},
    };
    for (const auto& s : sizes) {
        PictureSize size;
        size.width = s.width;
        size.height = s.height;
        EXPECT_EQ(size.tooLarge(), s.tooLarge) << s.width << " x " << s.height;
    }
}

TEST(PictureSource, AFileReadsAsItsBytesDoInOnePass) {
    char folder[] = "/tmp/picture-source-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/picture";
    Bytes data(3 * 65536 + 17, '\0');
    std::mt19937 random(7);
    for (char& c : data) c = char(random());
    std::ofstream(path, std::ios::binary) << data;
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::filesystem::remove_all(folder);
    ASSERT_GE(fd, 0);
    PictureSource file(fd);
    EXPECT_EQ(file.size(), (long long)data.size());
    for (long long pos = 0; pos < file.size(); pos += 4093) {  // across the buffer's edges
        const auto got = file.bytes(pos, 4093);
        EXPECT_EQ(Bytes(got.begin(), got.end()), data.substr(pos, 4093)) << pos;
    }
    EXPECT_EQ(file.bytesRead(), file.size());
    EXPECT_TRUE(file.bytes(file.size(), 1).empty());
    EXPECT_EQ(file.byte(-1), -1);
    ::close(fd);
}
