// Pictures whose size the image library reads only by decoding them: their own headers give it,
// so they convert within the bound; a format that tells no size is refused as such.
#include "ConversionFixture.h"
#include "PictureDecoder.h"
#include "win/WinPath.h"

namespace {

struct PictureFormats : ConversionFixture {
    static PictureSize size(const QString& path) { return PictureDecoder::probe(path).size; }
};

}  // namespace

TEST_F(PictureFormats, EachFormatGivesItsSizeFromItsHeaderAndConverts) {
    const struct {
        const char* name;
        int w, h;
    } pictures[] = {{"scan.jp2", 72, 48},  {"scan.j2k", 48, 64},       {"scan.sgi", 13, 7},
                    {"scan.dds", 14, 9},   {"scan.wbmp", 21, 11},      {"scan.xbm", 19, 5},
                    {"scan.pict", 17, 6},  {"quicktime.pict", 33, 21}, {"scan.koa", 320, 200},
                    {"scan.mng", 23, 15},  {"scan.iff", 19, 5},       {"scan.ras", 19, 5},
                    {"scan.pcx", 19, 5}};
    for (const auto& p : pictures) {
        const auto header = size(fixture(p.name));
        EXPECT_TRUE(header.known && header.width == p.w && header.height == p.h) << p.name;
        add(fixture(p.name));
    }
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.value(0).prompt.toStdString();
    const auto info = runkit::pdfInfo(output());
    ASSERT_EQ(info.value("Pages").toInt(), std::size(pictures));
    for (int i = 0; i < int(std::size(pictures)); ++i) {
        const auto [w, h] = runkit::pageSize(info, i + 1);
        EXPECT_NEAR(w, runkit::points(runkit::pageTenths(pictures[i].w)), 0.02) << pictures[i].name;
        EXPECT_NEAR(h, runkit::points(runkit::pageTenths(pictures[i].h)), 0.02) << pictures[i].name;
    }
}

TEST_F(PictureFormats, TheSizeIsThatOfThePictureDecodedAndADamagedHeaderGivesNone) {
    // A small frame around a huge picture: the picture counts.
    for (const char* bomb : {"bomb.mng", "bomb.pict", "bomb.j2k"})
        EXPECT_TRUE(size(fixture(bomb)).tooLarge()) << bomb;
    // Damaged headers, and pictures the library would read without end (cut off).
    for (const char* damaged : {"cut.j2k", "cut.jp2", "notes.wbmp", "cut.sgi", "empty.pict",
                                "nodefine.xbm", "cut.xbm", "sameline.xbm", "cut.pict"}) {
        const auto header = size(fixture(damaged));
        EXPECT_FALSE(header.known) << damaged;
        EXPECT_TRUE(header.knowable) << damaged;
    }
}

TEST_F(PictureFormats, AFormatThatTellsNoSizeIsRefusedAsSuch) {
    // A decoder that knows a format whose size nothing tells before it is decoded (.pic here),
    // and is the real one for every other picture.
    ASSERT_TRUE(QFile::rename(program.hostPath("folipress-decoder"), program.hostPath("real-decoder")));
    testing_support::writeScript(program.hostPath("folipress-decoder"),
                                 "[ \"$1 $3\" = 'probe pic' ] && { echo '37 0 0 0 0 SIZELESS'; exit 0; }\n"
                                 "exec \"${0%/*}/real-decoder\" \"$@\"");
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
