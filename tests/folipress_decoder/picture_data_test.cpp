// A picture's data counts as whole only when its file holds every byte the image library's
// reader takes for it: a GIF frame whose codes make every pixel, TGA and PCX run-length rows and
// DDS rows that end within the file.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "PictureData.h"

namespace {

using Bytes = std::string;

// Codes packed low bit first, each in its own width, as LZW writes them.
Bytes packed(const std::vector<std::pair<unsigned, int>>& codes) {
    Bytes out;
    unsigned bits = 0, held = 0;
    for (const auto& [code, width] : codes) {
        bits |= code << held;
        for (held += unsigned(width); held >= 8; held -= 8, bits >>= 8) out += char(bits & 0xFF);
    }
    if (held) out += char(bits & 0xFF);
    return out;
}

// A 2 x 2 GIF with no colour table, LZW code size 2, and its data in one sub-block.
Bytes gif(const Bytes& data, int minCodeSize = 2) {
    Bytes g = "GIF89a" + Bytes{2, 0, 2, 0, 0, 0, 0};
    g += Bytes{0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, char(minCodeSize)};
    if (!data.empty()) g += char(data.size()) + data;
    return g + Bytes{0, 0x3B};
}

PictureData::Extent extentOf(int format, const Bytes& b) {
    PictureSource source(reinterpret_cast<const unsigned char*>(b.data()), b.size());
    return PictureData::Check(format, source);
}

Bytes le16(unsigned v) { return {char(v), char(v >> 8)}; }
Bytes le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// A 24-bit TGA of w x h, plain (type 2) or run-length coded (type 10), with these pixel bytes.
Bytes tga(int type, unsigned w, unsigned h, const Bytes& pixels) {
    return Bytes{0, 0, char(type)} + Bytes(9, '\0') + le16(w) + le16(h) + Bytes{24, 0} + pixels;
}

// An 8-bit PCX of w x h, run-length coded rows of w bytes, then the 256-colour palette when asked.
Bytes pcx(unsigned w, unsigned h, const Bytes& rows, bool palette = true) {
    Bytes p = Bytes{10, 5, 1, 8} + le16(0) + le16(0) + le16(w - 1) + le16(h - 1);
    p.resize(65, '\0');
    p += Bytes{1} + le16(w) + le16(1);
    p.resize(128, '\0');
    return p + rows + (palette ? '\x0C' + Bytes(768, '\0') : Bytes());
}

// A DDS of w x h plain pixels of the given bits, rows a pitch apart.
Bytes dds(unsigned w, unsigned h, unsigned bits, unsigned pitch, std::size_t pixelBytes) {
    Bytes d = "DDS " + le32(124) + le32(0x100F) + le32(h) + le32(w) + le32(pitch);
    d.resize(80, '\0');
    d += le32(0x40) + le32(0) + le32(bits);
    d.resize(128, '\0');
    return d + Bytes(pixelBytes, 'D');
}

}  // namespace

TEST(PictureData, AGifFrameIsWholeOnlyWhenItsCodesMakeEveryPixel) {
    using Frame = PictureData::Extent;
    // Code size 2: clear is 4, end 5; codes start 3 bits wide and grow to 4 at the 8th entry.
    const unsigned clear = 4, end = 5;
    const struct {
        const char* what;
        Bytes bytes;
        Frame frame;
    } cases[] = {
        {"four single pixels", gif(packed({{clear, 3}, {0, 3}, {0, 3}, {0, 3}, {0, 4}, {end, 4}})), Frame::Whole},
        {"a code for the string just being made", gif(packed({{clear, 3}, {0, 3}, {6, 3}, {0, 3}, {end, 4}})),
         Frame::Whole},
        {"codes past the last pixel", gif(packed({{clear, 3}, {1, 3}, {6, 3}, {6, 3}, {7, 4}, {end, 4}})),
         Frame::Whole},
        {"an end code after two pixels", gif(packed({{clear, 3}, {0, 3}, {0, 3}, {end, 3}})), Frame::Short},
        {"a code beyond the table", gif(packed({{clear, 3}, {0, 3}, {7, 3}})), Frame::Short},
        {"no data at all", gif(""), Frame::Short},
        {"a file cut within its data", gif(packed({{clear, 3}, {0, 3}, {0, 3}, {0, 3}, {0, 4}})).substr(0, 25),
         Frame::Short},
        {"a code size beyond the library's table", gif(packed({{4096, 13}}), 12), Frame::Damaged},
        {"no frame", Bytes("GIF89a") + Bytes{2, 0, 2, 0, 0, 0, 0, 0x3B}, Frame::Damaged},
        {"not a GIF", "PNG and more", Frame::Damaged},
    };
    for (const auto& c : cases) EXPECT_EQ(extentOf(FIF_GIF, c.bytes), c.frame) << c.what;
}

TEST(PictureData, RowsMustEndWithinTheFileAsTheReaderTakesThem) {
    using Extent = PictureData::Extent;
    const Bytes run = "\x81" + Bytes(3, 'r');  // two pixels of one colour
    const Bytes pcxRow = "\xC4\x07";          // four bytes of 7
    const struct {
        const char* what;
        int format;
        Bytes bytes;
        Extent extent;
    } cases[] = {
        {"plain TGA", FIF_TARGA, tga(2, 4, 2, Bytes(24, 'p')), Extent::Whole},
        {"plain TGA, cut", FIF_TARGA, tga(2, 4, 2, Bytes(23, 'p')), Extent::Short},
        {"TGA runs across rows", FIF_TARGA, tga(10, 3, 2, run + run + run), Extent::Whole},
        {"TGA runs, cut", FIF_TARGA, tga(10, 3, 2, run + run + run.substr(0, 3)), Extent::Short},
        {"a TGA run past the last pixel", FIF_TARGA, tga(10, 3, 1, run + run), Extent::Damaged},
        {"PCX rows and palette", FIF_PCX, pcx(4, 2, pcxRow + pcxRow), Extent::Whole},
        {"PCX rows cut", FIF_PCX, pcx(4, 2, pcxRow + "\xC4"), Extent::Short},
        {"PCX rows whose palette is cut", FIF_PCX, pcx(4, 2, pcxRow + pcxRow, false) + "\x0C", Extent::Short},
        {"DDS of 16-bit rows", FIF_DDS, dds(4, 2, 16, 8, 16), Extent::Whole},
        {"DDS of 16-bit rows, cut", FIF_DDS, dds(4, 2, 16, 8, 15), Extent::Short},
        {"DDS of 32-bit rows, cut", FIF_DDS, dds(4, 2, 32, 16, 31), Extent::Short},
    };
    for (const auto& c : cases) EXPECT_EQ(extentOf(c.format, c.bytes), c.extent) << c.what;
}
