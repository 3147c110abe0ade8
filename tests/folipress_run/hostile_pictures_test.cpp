// Pictures made to mislead the picture library: each ends the run with one message naming it and
// saying why within seconds, no PDF, the window usable, and the program and its decoder far below
// 1 GB; the decoder stops each one even when a header reader believes a small size.
#include <sys/resource.h>

#include <QElapsedTimer>

#include "ConversionFixture.h"
#include "PictureDecoder.h"

namespace {

// Each picture (tools/make-picture-fixtures.py says what it does), the size it has as the
// library would decode it (0 x 0: damaged), and a size a header reader fooled by it gives.
const struct {
    const char* name;
    long long width, height;
    long long believedWidth, believedHeight;
} kHostile[] = {
    {"hostile-wrap.dds", 20000, 20000, 1, 1},     {"hostile-negative.dds", 0, 0, 14, 9},
    {"hostile-wrap.wbmp", 30000, 30000, 1, 1},    {"hostile-extension.wbmp", 65535, 65535, 1, 65535},
    {"hostile-overflow.xbm", 0, 0, 1, 1},         {"hostile-twosizes.xbm", 0, 0, 8, 1},
    {"hostile-short.xbm", 0, 0, 16, 4},           {"hostile-cutnumber.xbm", 0, 0, 8, 2},
    {"hostile-cut.iff", 0, 0, 1000, 36},          {"hostile-cut-small.iff", 0, 0, 8, 2},
    {"hostile-jng.mng", 17000, 17000, 1, 1},      {"hostile-bounds.pict", 8000, 65534, 8000, 2},
    {"hostile-fill.pict", 17000, 17000, 1, 1},    {"hostile-1bit.pict", 0, 0, 17, 6},
    {"hostile-8bit.pict", 0, 0, 17, 6},
};

long peakMegabytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss / 1024;
}

using HostilePictures = ConversionFixture;

}  // namespace

TEST_F(HostilePictures, EachEndsTheRunWithOneMessageWithinSeconds) {
    for (const auto& h : kHostile) {
        SCOPED_TRACE(h.name);
        w->List1->clear();
        w->List2->clear();
        ui.shown.clear();
        add(fixture(h.name), QString("shown as ") + h.name);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(convert());
        EXPECT_LT(clock.elapsed(), 10000);
        ASSERT_EQ(ui.shown.size(), 1);
        const QString why = h.width ? QString("This picture is too large to convert: %1 x %2 pixels, more than "
                                              "268 million pixels for one page.")
                                          .arg(h.width)
                                          .arg(h.height)
                                    : "This file cannot be converted: it is missing, empty, damaged or not a picture.";
        EXPECT_EQ(ui.shown[0].prompt, why + "\r\nshown as " + h.name + "\r\n\r\nNo PDF document was written.");
        EXPECT_FALSE(QFileInfo::exists(output()));
        EXPECT_TRUE(w->Command3->isEnabled() && toolbarEnabled());
    }
    EXPECT_LT(peakMegabytes(RUSAGE_CHILDREN), 1024);
    EXPECT_LT(peakMegabytes(RUSAGE_SELF), 1024);
}

TEST_F(HostilePictures, TheDecoderStopsEachWhoseSmallSizeIsBelieved) {
    QDir().mkpath(driveC.hostPath("tmp"));
    for (const auto& h : kHostile) {
        SCOPED_TRACE(h.name);
        PictureDecoder::Result believed = PictureDecoder::probe(fixture(h.name));
        ASSERT_GE(believed.format, 0);
        believed.outcome = PictureDecoder::Outcome::Done;
        believed.size = PictureSize{true, true, h.believedWidth, h.believedHeight};
        QElapsedTimer clock;
        clock.start();
        const auto page = PictureDecoder::decode(believed, fixture(h.name), "c:\\tmp\\tmp.bmp");
        EXPECT_LT(clock.elapsed(), 10000);
        // Whatever the library made of it, no page comes of a size other than the one believed.
        if (page.outcome == PictureDecoder::Outcome::Done) {
            const qint64 bytes = QFileInfo(driveC.hostPath("tmp/tmp.bmp")).size();
            EXPECT_EQ(bytes, page.grey ? 54 + 1024 + ((h.believedWidth + 3) & ~3LL) * h.believedHeight
                                       : 54 + ((3 * h.believedWidth + 3) & ~3LL) * h.believedHeight);
        }
    }
    EXPECT_LT(peakMegabytes(RUSAGE_CHILDREN), 1024);
}
