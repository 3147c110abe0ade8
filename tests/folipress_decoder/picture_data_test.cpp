// A picture's data counts as whole only when its file holds every byte the image library's
// reader takes for it, walked as that reader walks it (the conversion tests cut whole pictures).
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

// Bytes written as hexadecimal digits, spaces between fields.
Bytes hex(const char* digits) {
    Bytes b;
    for (const char* d = digits; d[0] && d[1]; d += d[0] == ' ' ? 1 : 2)
        if (d[0] != ' ') b += char(std::stoi(Bytes(d, 2), nullptr, 16));
    return b;
}

}  // namespace

TEST(PictureData, DataIsWholeOnlyWhenItHoldsEveryPixelAsTheReaderTakesIt) {
    using Extent = PictureData::Extent;
    // GIF code size 2: clear is 4, end 5; codes start 3 bits wide and grow to 4 at the 8th entry.
    const unsigned clear = 4, end = 5;
    const Bytes run = "\x81" + Bytes(3, 'r');  // two TGA pixels of one colour
    const Bytes pcxRow = "\xC4\x07";          // four PCX bytes of 7
    // Run-length coded TGAs 3 pixels wide; a 4 x 2 PCX; a 4 x 2 DDS of 16-bit rows 8 bytes apart.
    const auto tga = [](const char* height) { return hex("00000a 000000000000000000 0300") + hex(height) + hex("1800"); };
    const Bytes pcx = hex("0a050108 0000 0000 0300 0100") + Bytes(53, '\0') + hex("01 0400 0100") + Bytes(58, '\0');
    const Bytes dds = "DDS " + hex("7c000000 0f100000 02000000 04000000 08000000") + Bytes(56, '\0') +
                      hex("40000000 00000000 10000000") + Bytes(36, '\0');
    const struct {
        const char* what;
        int format;
        Bytes bytes;
        Extent extent;
    } cases[] = {
        {"four single pixels", FIF_GIF, gif(packed({{clear, 3}, {0, 3}, {0, 3}, {0, 3}, {0, 4}, {end, 4}})), Extent::Whole},
        {"a code for the string just being made", FIF_GIF, gif(packed({{clear, 3}, {0, 3}, {6, 3}, {0, 3}, {end, 4}})),
         Extent::Whole},
        {"codes past the last pixel", FIF_GIF, gif(packed({{clear, 3}, {1, 3}, {6, 3}, {6, 3}, {7, 4}, {end, 4}})),
         Extent::Whole},
        {"an end code after two pixels", FIF_GIF, gif(packed({{clear, 3}, {0, 3}, {0, 3}, {end, 3}})), Extent::Short},
        {"a code beyond the table", FIF_GIF, gif(packed({{clear, 3}, {0, 3}, {7, 3}})), Extent::Short},
        {"a code size beyond the library's table", FIF_GIF, gif(packed({{4096, 13}}), 12), Extent::Damaged},
        {"no frame", FIF_GIF, Bytes("GIF89a") + Bytes{2, 0, 2, 0, 0, 0, 0, 0x3B}, Extent::Damaged},
        {"not a GIF", FIF_GIF, "PNG and more", Extent::Damaged},
        {"TGA runs across rows", FIF_TARGA, tga("0200") + run + run + run, Extent::Whole},
        {"a TGA run past the last pixel", FIF_TARGA, tga("0100") + run + run, Extent::Damaged},
        {"PCX rows whose palette is cut", FIF_PCX, pcx + pcxRow + pcxRow + "\x0C", Extent::Short},
        {"DDS of 16-bit rows", FIF_DDS, dds + Bytes(16, 'D'), Extent::Whole},
        {"DDS of 16-bit rows, cut", FIF_DDS, dds + Bytes(15, 'D'), Extent::Short},
    };
    for (const auto& c : cases) EXPECT_EQ(extentOf(c.format, c.bytes), c.extent) << c.what;
}
