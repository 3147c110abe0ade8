// Pictures whose size the image library reads only by decoding them: their own headers give it,
// so they convert within the bound; a format that tells no size is refused as such.
#include <cstring>

#include "ConversionFixture.h"
#include "FreeImageBinding.h"

using runkit::bigEndian;

namespace {

QByteArray littleEndian(quint32 v, int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i) b += char(v >> (8 * i));
    return b;
}

// A w x h picture saved by the library.
QByteArray saved(FREE_IMAGE_FORMAT fif, int w, int h) {
    runkit::initImages();
    FIBITMAP* dib = FreeImage_Allocate(w, h, 24);
    if (fif == FIF_WBMP) {
        FIBITMAP* mono = FreeImage_Threshold(dib, 128);
        FreeImage_Unload(dib);
        dib = mono;
    }
    FIMEMORY* memory = FreeImage_OpenMemory();
    FreeImage_SaveToMemory(fif, dib, memory, 0);
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    const QByteArray out(reinterpret_cast<const char*>(data), int(size));
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(dib);
    return out;
}

QByteArray rect(int w, int h) { return bigEndian(0, 4) + bigEndian(h, 2) + bigEndian(w, 2); }

// A PICT of a w x h pixel map (packed, one colour; header only when it is large) in a frame of
// its own size.
QByteArray pict(int w, int h, int frameW, int frameH) {
    QByteArray p = QByteArray(512, '\0') + bigEndian(0, 2) + rect(frameW, frameH) +
                   bigEndian(0x001102FF, 4) + bigEndian(0x0C00FFFE, 4) + bigEndian(0, 2) +
                   bigEndian(72 << 16, 4) + bigEndian(72 << 16, 4) + rect(frameW, frameH) + bigEndian(0, 4) +
                   bigEndian(0x9A, 2) + bigEndian(0xFF, 4) + bigEndian(0x8000 | (w * 4), 2) + rect(w, h) +
                   bigEndian(4, 4) + bigEndian(0, 4) + bigEndian(72 << 16, 4) + bigEndian(72 << 16, 4) +
                   bigEndian(0x00100020, 4) + bigEndian(0x00030008, 4) + QByteArray(12, '\0') +
                   rect(w, h) + rect(frameW, frameH) + bigEndian(0, 2);
    const QByteArray run = QByteArray(1, char(257 - w)) + char(0x80);  // one value across a row
    for (int y = 0; w * h < 100000 && y < h; ++y) p += char(6) + run + run + run;  // red, green, blue
    return p + QByteArray(p.size() & 1, '\0') + bigEndian(0xFF, 2);
}

// A PICT holding a JPEG, as QuickTime compresses one.
QByteArray quickTimePict(int w, int h) {
    const QByteArray data = QByteArray(68, '\0') + bigEndian(86, 4) + "jpeg" + QByteArray(78, '\0') + saved(FIF_JPEG, w, h);
    const QByteArray p = QByteArray(512, '\0') + bigEndian(0, 2) + rect(w, h) + bigEndian(0x001102FF, 4) +
                         bigEndian(0x0C00FFFE, 4) + QByteArray(22, '\0') + bigEndian(0x8200, 2) +
                         bigEndian(data.size(), 4) + data;
    return p + QByteArray(p.size() & 1, '\0') + bigEndian(0xFF, 2);
}

// An MNG of a frame whose first picture is a w x h PNG.
QByteArray mng(int frameW, int frameH, int w, int h) {
    return QByteArray("\x8AMNG\r\n\x1A\n", 8) +
           runkit::pngChunk("MHDR", bigEndian(frameW, 4) + bigEndian(frameH, 4) + bigEndian(1, 4) + QByteArray(16, '\0')) +
           (w * h < 100000 ? saved(FIF_PNG, w, h).mid(8) : runkit::pngChunk("IHDR", bigEndian(w, 4) + bigEndian(h, 4) + "\x08\x02\0\0\0")) +
           runkit::pngChunk("MEND", QByteArray());
}

QByteArray sgi(int w, int h) {
    return (bigEndian(474, 2) + bigEndian(0x0001, 2) + bigEndian(3, 2) + bigEndian(w, 2) + bigEndian(h, 2) +
            bigEndian(3, 2) + bigEndian(0, 4) + bigEndian(255, 4)).leftJustified(512, '\0') + QByteArray(w * h * 3, 'S');
}

QByteArray dds(int w, int h) {
    QByteArray d = "DDS " + littleEndian(124, 4) + littleEndian(0x100F, 4) + littleEndian(h, 4) +
                   littleEndian(w, 4) + littleEndian(w * 3, 4) + QByteArray(52, '\0') + littleEndian(32, 4) +
                   littleEndian(0x40, 4) + littleEndian(0, 4) + littleEndian(24, 4);
    for (const quint32 mask : {0xFF0000u, 0xFF00u, 0xFFu, 0u, 0x1000u}) d += littleEndian(mask, 4);
    return d + QByteArray(12, '\0') + QByteArray(w * h * 3, 'D');
}

QByteArray xbm(int w, int h) {
    QStringList bits;
    for (int i = 0; i < (w + 7) / 8 * h; ++i) bits << "0x55";
    return QString("#define scan_width %1\n#define scan_height %2\nstatic char scan_bits[] = {\n%3};\n")
        .arg(w).arg(h).arg(bits.join(',')).toLatin1();
}

struct PictureFormats : ConversionFixture {};

}  // namespace

TEST_F(PictureFormats, EachFormatGivesItsSizeFromItsHeaderAndConverts) {
    const struct {
        const char* name;
        QByteArray bytes;
        int w, h;
    } pictures[] = {
        {"scan.jp2", saved(FIF_JP2, 72, 48), 72, 48},
        {"scan.j2k", saved(FIF_J2K, 48, 64), 48, 64},
        {"scan.sgi", sgi(13, 7), 13, 7},
        {"scan.dds", dds(14, 9), 14, 9},
        {"scan.wbmp", saved(FIF_WBMP, 21, 11), 21, 11},
        {"scan.xbm", xbm(19, 5), 19, 5},
        {"scan.pict", pict(17, 6, 170, 60), 17, 6},
        {"quicktime.pict", quickTimePict(33, 21), 33, 21},
        {"scan.koa", QByteArray("\x00\x60", 2) + QByteArray(10001, '\x11'), 320, 200},
        {"scan.mng", mng(300, 300, 23, 15), 23, 15},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.name);
        const QString path = file(p.name, p.bytes);
        const auto size = FreeImageBinding::SizeFromHeader(FreeImageBinding::FormatFromContent(path), path);
        EXPECT_TRUE(size.known);
        EXPECT_EQ(size.width, p.w);
        EXPECT_EQ(size.height, p.h);
        add(path);
    }
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.value(0).prompt.toStdString();
    const auto info = runkit::pdfInfo(output());
    ASSERT_EQ(info.value("Pages").toInt(), std::size(pictures));
    for (int i = 0; i < int(std::size(pictures)); ++i) {
        EXPECT_NEAR(runkit::pageSize(info, i + 1).first, runkit::points(runkit::pageTenths(pictures[i].w)), 0.02) << i;
        EXPECT_NEAR(runkit::pageSize(info, i + 1).second, runkit::points(runkit::pageTenths(pictures[i].h)), 0.02) << i;
    }
}

TEST_F(PictureFormats, TheSizeReadIsThatOfThePictureDecodedAndADamagedHeaderGivesNone) {
    QByteArray j2k = saved(FIF_J2K, 48, 64);
    const struct {
        const char* name;
        QByteArray bytes;
        bool known;
    } headers[] = {
        // A small frame around a huge picture: the picture counts.
        {"bomb.mng", mng(13, 7, 30000, 30000), true},
        {"bomb.pict", pict(30000, 30000, 13, 7), true},
        {"bomb.j2k", j2k.left(8) + bigEndian(30000, 4) + bigEndian(30000, 4) + j2k.mid(16), true},
        {"cut.j2k", j2k.left(20), false},
        {"cut.jp2", saved(FIF_JP2, 72, 48).left(60), false},
        {"notes.wbmp", "a note, not a picture", false},
        {"cut.sgi", sgi(13, 7).left(10), false},
        {"empty.pict", pict(0, 0, 13, 7), false},
        {"nodefine.xbm", "#define scan_width 8\nstatic char scan_bits[] = {\n0x00};\n", false},
        // Pictures the library would wait for without end: numbers or opcodes cut off.
        {"cut.xbm", xbm(19, 5).chopped(20), false},
        {"sameline.xbm", xbm(19, 5).replace("{\n", "{"), false},
        {"cut.pict", pict(17, 6, 17, 6).chopped(12), false},
    };
    for (const auto& h : headers) {
        SCOPED_TRACE(h.name);
        const QString path = file(h.name, h.bytes);
        const auto size = FreeImageBinding::SizeFromHeader(FreeImageBinding::FormatFromContent(path), path);
        EXPECT_EQ(size.known, h.known);
        EXPECT_EQ(size.known && size.tooLarge(), h.known);
        EXPECT_TRUE(size.knowable);
    }
}

namespace {

// A format the library reads whose size nothing tells before it is decoded.
void sizelessFormat(Plugin* plugin, int) {
    plugin->format_proc = [] { return "SIZELESS"; };
    plugin->validate_proc = [](FreeImageIO* io, fi_handle handle) {
        char mark[8] = {};
        return BOOL(io->read_proc(mark, 1, 8, handle) == 8 && memcmp(mark, "SIZELESS", 8) == 0);
    };
    plugin->load_proc = [](FreeImageIO*, fi_handle, int, int, void*) { return FreeImage_Allocate(20, 20, 24); };
}

}  // namespace

TEST_F(PictureFormats, AFormatThatTellsNoSizeIsRefusedAsSuch) {
    runkit::initImages();
    static const int format = FreeImage_RegisterLocalPlugin(sizelessFormat, nullptr, nullptr, nullptr, nullptr);
    ASSERT_GE(format, 0);
    add(picture("fine.png", FIF_PNG, 20, 20));
    add(file("odd.pic", "SIZELESS and more"), "My odd picture.pic");
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt,
              "The size of this picture cannot be known before it is decoded (SIZELESS format), and a "
              "picture too large for a page could take all the memory, so it is not converted.\r\n"
              "My odd picture.pic\r\n\r\nNo PDF document was written.");
    EXPECT_EQ(ui.shown[0].title, "Convert");
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
}
