// The PDF-writing box library: properties, pages, the embedded JPEG, text, and its failures.
#include <QProcess>

#include <sys/resource.h>

#include <csignal>
#include <functional>

#include "RunKit.h"
#include "pdfwrite/PageImage.h"
#include "pdfwrite/PdfBox.h"

using namespace pdfbox;
using testing_support::readFile;
using testing_support::ScratchDriveC;

namespace {

std::string lastError() {
    char buffer[255];
    GetErrorMsg(buffer, sizeof buffer);
    return buffer;
}

struct PdfBoxTest : ::testing::Test {
    ScratchDriveC driveC;
    int32_t box = CreateBox(0, 0);
    PdfBoxTest() {
        QDir().mkpath(driveC.hostPath("out"));
        runkit::makePicture(driveC.hostPath("tmp/pic.bmp"), FIF_BMP, 120, 80);
    }
    ~PdfBoxTest() override { FreeBox(box); }

    // A one-page document of the picture, filling a page of w x h in the current unit.
    int32_t writePage(const char* out, int32_t w, int32_t h) {
        if (SetStrProp(box, kOutputFile, out) < 0 || SetNumProp(box, kPageWidth, w) < 0 ||
            SetNumProp(box, kPageHeight, h) < 0 || BeginDoc(box) < 0 ||
            StretchDrawFromFile(box, 0, 0, w, h, "c:\\tmp\\pic.bmp") < 0) {
            return -1;
        }
        return EndDoc(box);
    }
};

// The bytes of the first stream whose dictionary names the filter.
QByteArray streamWith(const QByteArray& pdf, const QByteArray& filter) {
    const int f = pdf.indexOf("/Filter [ /" + filter + " ]");
    if (f < 0) return {};
    int start = pdf.indexOf("stream", f);
    if (start < 0) return {};
    start += 6;
    if (pdf[start] == '\r') ++start;
    if (pdf[start] == '\n') ++start;
    const int end = pdf.indexOf("endstream", start);
    QByteArray body = pdf.mid(start, end - start);
    while (body.endsWith('\n') || body.endsWith('\r')) body.chop(1);
    return body;
}

QByteArray bytesOf(const JpegBytes& jpeg) {
    return QByteArray(reinterpret_cast<const char*>(jpeg.data.get()), qsizetype(jpeg.size));
}

// The sampling factors (horizontal, vertical) of each component, from the JPEG's frame header.
std::vector<std::pair<int, int>> jpegSampling(const QByteArray& jpeg) {
    const auto* p = reinterpret_cast<const uchar*>(jpeg.constData());
    for (qsizetype i = 2; i + 10 < jpeg.size() && p[i] == 0xFF;) {
        if (p[i + 1] >= 0xC0 && p[i + 1] <= 0xC2) {
            std::vector<std::pair<int, int>> out;
            for (int c = 0; c < p[i + 9] && i + 12 + 3 * c < jpeg.size(); ++c)
                out.push_back({p[i + 11 + 3 * c] >> 4, p[i + 11 + 3 * c] & 15});
            return out;
        }
        i += 2 + (p[i + 2] << 8 | p[i + 3]);
    }
    return {};
}

// A BMP written byte by byte: 24 bits, or 8 bits with the given palette (grey i at index i by
// default); rows given from the top, stored bottom-up unless `topDown`.
QByteArray bmpFile(int w, int h, int bits, const std::function<int(int x, int y)>& value,
                   bool topDown = false, const std::function<int(int i)>& palette = nullptr) {
    const int stride = ((w * bits + 31) / 32) * 4;
    const int paletteBytes = bits == 8 ? 1024 : 0;
    QByteArray b(54 + paletteBytes + stride * h, '\0');
    auto put32 = [&](int at, qint32 v) {
        for (int k = 0; k < 4; ++k) b[at + k] = char((quint32(v) >> (8 * k)) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, qint32(b.size()));
    put32(10, 54 + paletteBytes);
    put32(14, 40);
    put32(18, w);
    put32(22, topDown ? -h : h);
    b[26] = 1;
    b[28] = char(bits);
    for (int i = 0; i < paletteBytes / 4; ++i) {
        const int g = palette ? palette(i) : i;
        b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = char(g);
    }
    for (int y = 0; y < h; ++y) {
        char* row = b.data() + 54 + paletteBytes + stride * (topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const int v = value(x, y);
            if (bits == 8) {
                row[x] = char(v);
            } else {
                row[3 * x] = char(v & 0xFF);  // blue, green, red
                row[3 * x + 1] = char((v >> 8) & 0xFF);
                row[3 * x + 2] = char((v >> 16) & 0xFF);
            }
        }
    }
    return b;
}

// The page form of a picture file: channels and its rows (grey or red-green-blue).
std::pair<int, std::vector<unsigned char>> pageRows(const QString& hostPath) {
    std::string why;
    auto picture = PagePicture::open(hostPath.toStdString(), why);
    if (!picture) return {0, {}};
    return {picture->grey() ? 1 : 3, pixelRows(*picture)};
}

}  // namespace

TEST_F(PdfBoxTest, WritesOnePageOfTheBoxSizeWithTheCreator) {
    ASSERT_GT(box, 0);
    EXPECT_EQ(SetNumProp(box, kUnit, kTenthMillimetres), 0);
    EXPECT_EQ(SetStrProp(box, kCreator, "Lumidoc - Scanned Image To PDF"), 0);
    ASSERT_EQ(writePage("c:\\out\\a.pdf", 2100, 2970), 0) << lastError();
    const auto info = runkit::pdfInfo(driveC.hostPath("out/a.pdf"));
    EXPECT_EQ(info.value("Pages"), "1");
    EXPECT_EQ(info.value("Creator"), "Lumidoc - Scanned Image To PDF");
    const auto [w, h] = runkit::pageSize(info, 1);
    EXPECT_NEAR(w, runkit::points(2100), 0.01);
    EXPECT_NEAR(h, runkit::points(2970), 0.01);

    // Millimetres and points as units; the file is replaced.
    SetNumProp(box, kUnit, kMillimetres);
    ASSERT_EQ(writePage("c:\\out\\a.pdf", 100, 50), 0) << lastError();
    auto size = runkit::pageSize(runkit::pdfInfo(driveC.hostPath("out/a.pdf")), 1);
    EXPECT_NEAR(size.first, 100 * 72 / 25.4, 0.01);
    EXPECT_NEAR(size.second, 50 * 72 / 25.4, 0.01);
    SetNumProp(box, kUnit, kPoints);
    ASSERT_EQ(writePage("c:\\out\\a.pdf", 300, 200), 0) << lastError();
    size = runkit::pageSize(runkit::pdfInfo(driveC.hostPath("out/a.pdf")), 1);
    EXPECT_NEAR(size.first, 300, 0.01);
    EXPECT_NEAR(size.second, 200, 0.01);
}

TEST_F(PdfBoxTest, ThePictureIsEmbeddedAsTheJpegOfTheBoxQuality) {
    std::string why;
    auto picture = PagePicture::open(driveC.hostPath("tmp/pic.bmp").toStdString(), why);
    ASSERT_TRUE(picture) << why;
    JpegBytes q20, q95;
    ASSERT_TRUE(encodeJpeg(*picture, 20, q20, why));
    ASSERT_TRUE(encodeJpeg(*picture, 95, q95, why));
    EXPECT_LT(q20.size, q95.size);

    SetNumProp(box, kJpegQuality, 20);
    ASSERT_EQ(writePage("c:\\out\\q.pdf", 300, 200), 0) << lastError();
    const QByteArray pdf = readFile(driveC.hostPath("out/q.pdf"));
    EXPECT_EQ(streamWith(pdf, "DCTDecode"), bytesOf(q20));
    EXPECT_TRUE(pdf.contains("/Width 120"));
    EXPECT_TRUE(pdf.contains("/Height 80"));
    EXPECT_TRUE(pdf.contains("/DeviceRGB"));

    SetNumProp(box, kJpegQuality, 95);
    ASSERT_EQ(writePage("c:\\out\\q.pdf", 300, 200), 0) << lastError();
    EXPECT_EQ(streamWith(readFile(driveC.hostPath("out/q.pdf")), "DCTDecode"), bytesOf(q95));
}

TEST_F(PdfBoxTest, ColourKeepsItsFullResolutionFromTheBestQualityOn) {
    using Sampling = std::vector<std::pair<int, int>>;
    const Sampling halved{{2, 2}, {1, 1}, {1, 1}}, full{{1, 1}, {1, 1}, {1, 1}};
    for (const auto& [quality, sampling] : {std::pair{0, halved}, std::pair{75, halved},
                                            std::pair{79, halved}, std::pair{80, full},
                                            std::pair{100, full}}) {
        SetNumProp(box, kJpegQuality, quality);
        ASSERT_EQ(writePage("c:\\out\\s.pdf", 300, 200), 0) << lastError();
        EXPECT_EQ(jpegSampling(streamWith(readFile(driveC.hostPath("out/s.pdf")), "DCTDecode")), sampling)
            << "quality " << quality;
    }
}

TEST_F(PdfBoxTest, LosslessPicturesAndCompressedStreams) {
    SetNumProp(box, kPictureCompression, kPictureFlate);
    SetNumProp(box, kStreamCompression, 2);
    ASSERT_EQ(writePage("c:\\out\\f.pdf", 300, 200), 0) << lastError();
    QByteArray pdf = readFile(driveC.hostPath("out/f.pdf"));
    EXPECT_FALSE(pdf.contains("/DCTDecode"));
    EXPECT_TRUE(pdf.contains("/FlateDecode"));
    EXPECT_EQ(runkit::pdfInfo(driveC.hostPath("out/f.pdf")).value("Pages"), "1");

    SetNumProp(box, kPictureCompression, kPictureNone);
    SetNumProp(box, kStreamCompression, 0);
    ASSERT_EQ(writePage("c:\\out\\n.pdf", 300, 200), 0) << lastError();
    pdf = readFile(driveC.hostPath("out/n.pdf"));
    EXPECT_FALSE(pdf.contains("/FlateDecode"));
    EXPECT_GT(pdf.size(), 120 * 80 * 3);  // the raw pixels
}

TEST_F(PdfBoxTest, TextOutWritesTheLine) {
    SetStrProp(box, kOutputFile, "c:\\out\\t.pdf");
    ASSERT_EQ(BeginDoc(box), 0);
    SetNumProp(box, kFontSize, 20);
    SetNumProp(box, kTextBold, 1);
    SetNumProp(box, kTextColor, 0xFF0000);
    ASSERT_EQ(TextOut(box, 200, 100, "Quarterly report \xE9t\xE9"), 0) << lastError();
    ASSERT_EQ(EndDoc(box), 0) << lastError();
    QProcess p;
    p.start("pdftotext", {driveC.hostPath("out/t.pdf"), "-"});
    p.waitForFinished(20000);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains(QString::fromUtf8("Quarterly report été")));
}

TEST_F(PdfBoxTest, PropertyAndOrderFailuresGiveTheirReasons) {
    EXPECT_EQ(SetNumProp(box, 99, 1), -1);
    EXPECT_EQ(lastError(), "Unknown number property 99");
    EXPECT_EQ(SetStrProp(box, 99, "x"), -1);
    EXPECT_EQ(lastError(), "Unknown text property 99");
    EXPECT_EQ(SetNumProp(box, kJpegQuality, 101), -1);
    EXPECT_EQ(lastError(), "The JPEG quality (property 45) must be 0 to 100, not 101");
    EXPECT_EQ(SetNumProp(box, kUnit, 3), -1);
    EXPECT_EQ(SetNumProp(box, kPageWidth, 0), -1);
    EXPECT_EQ(lastError(), "The page width (property 36) must be above 0, not 0");
    EXPECT_EQ(SetNumProp(box, kPictureCompression, -1), -1);
    EXPECT_EQ(SetNumProp(12345, kUnit, 0), -1);
    EXPECT_EQ(lastError(), "Invalid box handle 12345");

    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 10, 10, "c:\\tmp\\pic.bmp"), -1);
    EXPECT_EQ(lastError(), "StretchDrawFromFile needs BeginDoc first");
    EXPECT_EQ(EndDoc(box), -1);
    ASSERT_EQ(BeginDoc(box), 0);
    EXPECT_EQ(BeginDoc(box), -1);
    EXPECT_EQ(lastError(), "BeginDoc was called again before EndDoc");
    EXPECT_EQ(EndDoc(box), -1);
    EXPECT_EQ(lastError(), "No output file was set (property 10)");

    // A page beyond the PDF limit.
    SetNumProp(box, kPageWidth, 20000);
    EXPECT_EQ(BeginDoc(box), -1);
    EXPECT_EQ(lastError(), "The page size 20000.0 x 842.0 points is beyond the PDF limit of 14400 points a side");

    // The error text is cut to the buffer and always ends in NUL.
    char small[8];
    EXPECT_EQ(GetErrorMsg(small, sizeof small), 7);
    EXPECT_STREQ(small, "The pag");
    EXPECT_EQ(GetErrorMsg(nullptr, 10), -1);
}

TEST_F(PdfBoxTest, OutputNamesAreCheckedUnlessDeferred) {
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\missing\\0.pdf"), -1);
    EXPECT_EQ(lastError(), "The folder of the output file \"c:\\missing\\0.pdf\" does not exist");
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 1), 0);
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\missing\\0.pdf"), 0);
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 0), -1);
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 1), 0);
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\out\\0.pdf"), 0);
    EXPECT_EQ(SetNumProp(box, kDeferNameCheck, 0), 0);
    EXPECT_EQ(SetStrProp(box, kOutputFile, "c:\\out"), -1);
    EXPECT_EQ(lastError(), "The output file \"c:\\out\" is a folder");
}

TEST_F(PdfBoxTest, UnreadablePicturesAndUnwritableFilesFail) {
    testing_support::writeFile(driveC.hostPath("tmp/text.bmp"), "not a picture at all");
    testing_support::writeFile(driveC.hostPath("tmp/empty.bmp"), "");
    SetStrProp(box, kOutputFile, "c:\\out\\x.pdf");
    ASSERT_EQ(BeginDoc(box), 0);
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 100, 100, "c:\\tmp\\nothing.bmp"), -1);
    EXPECT_EQ(lastError(), "The picture file does not exist: \"c:\\tmp\\nothing.bmp\"");
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 100, 100, "c:\\tmp\\text.bmp"), -1);
    EXPECT_EQ(lastError(), "The picture file cannot be read: \"c:\\tmp\\text.bmp\"");
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 100, 100, "c:\\tmp\\empty.bmp"), -1);
    EXPECT_EQ(StretchDrawFromFile(box, 0, 0, 0, 100, "c:\\tmp\\pic.bmp"), -1);

    // A folder takes the output file's name between the name check and the writing.
    QDir().mkpath(driveC.hostPath("out/x.pdf"));
    EXPECT_EQ(EndDoc(box), -1);
    EXPECT_EQ(lastError().rfind("Cannot write the output file \"c:\\out\\x.pdf\": ", 0), 0u) << lastError();
    EXPECT_TRUE(QFileInfo(driveC.hostPath("out/x.pdf")).isDir());

    // A freed box is gone.
    EXPECT_EQ(FreeBox(box), 0);
    EXPECT_EQ(FreeBox(box), -1);
    box = CreateBox(0, 0);
}

TEST_F(PdfBoxTest, ADocumentThatCannotBeWrittenWholeLeavesNoFile) {
    // Files may not grow beyond 4 KB (the picture alone takes more) while the document is saved.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    SetNumProp(box, kPictureCompression, kPictureNone);
    ASSERT_EQ(SetStrProp(box, kOutputFile, "c:\\out\\big.pdf"), 0);
    ASSERT_EQ(BeginDoc(box), 0);
    ASSERT_EQ(StretchDrawFromFile(box, 0, 0, 300, 200, "c:\\tmp\\pic.bmp"), 0) << lastError();
    setrlimit(RLIMIT_FSIZE, &small);
    const int32_t result = EndDoc(box);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(lastError().rfind("Cannot write the output file \"c:\\out\\big.pdf\": PDF library failure "
                                "(the file cannot be written", 0), 0u) << lastError();
    EXPECT_TRUE(QDir(driveC.hostPath("out")).isEmpty());
}

TEST(PageImage, GreyPicturesStayOneChannelAndOthersBecomeColour) {
    QTemporaryDir dir;
    auto path = [&](const char* name) { return dir.path() + "/" + name; };
    auto save = [&](FIBITMAP* dib, FREE_IMAGE_FORMAT fif, const char* name) {
        EXPECT_TRUE(FreeImage_Save(fif, dib, path(name).toLocal8Bit().constData(), 0)) << name;
        FreeImage_Unload(dib);
    };
    // Palette pictures of 2 x 1 pixels: indices 0 and 1.
    auto paletted = [&](int bpp, std::initializer_list<RGBQUAD> colours) {
        FIBITMAP* dib = FreeImage_Allocate(2, 1, bpp);
        std::copy(colours.begin(), colours.end(), FreeImage_GetPalette(dib));
        BYTE* row = FreeImage_GetScanLine(dib, 0);
        if (bpp == 1) row[0] = 0x40;  // pixel 0: index 0, pixel 1: index 1
        else row[0] = 0, row[1] = 1;
        return dib;
    };
    const RGBQUAD black{0, 0, 0, 0}, white{255, 255, 255, 0}, grey90{90, 90, 90, 0}, red{0, 0, 200, 0};
    save(paletted(1, {black, white}), FIF_TIFF, "bilevel.tif");
    save(paletted(8, {grey90, white}), FIF_GIF, "greys.gif");        // greys, not the ramp
    save(paletted(8, {grey90, red}), FIF_GIF, "colours.gif");
    FIBITMAP* clear = paletted(8, {grey90, black});
    BYTE alpha[2] = {0, 255};
    FreeImage_SetTransparencyTable(clear, alpha, 2);
    save(clear, FIF_PNG, "clear-grey.png");                           // index 0 transparent
    FIBITMAP* deepGrey = FreeImage_AllocateT(FIT_UINT16, 2, 1);
    auto* g16 = reinterpret_cast<WORD*>(FreeImage_GetScanLine(deepGrey, 0));
    g16[0] = 0x1234, g16[1] = 0xFF00;
    save(deepGrey, FIF_PNG, "deep-grey.png");
    ASSERT_TRUE(runkit::makePicture(path("deep.png"), FIF_PNG, 2, 1, 48));
    FIBITMAP* rgba = FreeImage_Allocate(2, 1, 32);                  // all transparent
    save(rgba, FIF_PNG, "clear.png");
    testing_support::writeFile(path("ramp.bmp"), bmpFile(2, 1, 8, [](int x, int) { return 7 + x; }));
    testing_support::writeFile(path("inverse.bmp"),
                               bmpFile(2, 1, 8, [](int x, int) { return x; }, false, [](int i) { return 255 - i; }));

    const struct {
        const char* name;
        int channels;
        std::vector<unsigned char> rows;
    } cases[] = {
        {"bilevel.tif", 1, {0, 255}},
        {"greys.gif", 1, {90, 255}},
        {"colours.gif", 3, {90, 90, 90, 200, 0, 0}},
        {"clear-grey.png", 1, {255, 0}},
        {"deep-grey.png", 1, {0x12, 0xFF}},
        {"deep.png", 3, {40, 120, 200, 40, 120, 200}},
        {"clear.png", 3, {255, 255, 255, 255, 255, 255}},
        {"ramp.bmp", 1, {7, 8}},
        {"inverse.bmp", 1, {255, 254}},
    };
    for (const auto& c : cases) {
        const auto [channels, rows] = pageRows(path(c.name));
        EXPECT_EQ(channels, c.channels) << c.name;
        EXPECT_EQ(rows, c.rows) << c.name;
    }
}

TEST(PageImage, PlainBitmapsAreReadAsTheyLieAndAFileCutShortFails) {
    QTemporaryDir dir;
    const QString up = dir.path() + "/up.bmp", down = dir.path() + "/down.bmp";
    auto colour = [](int x, int y) { return (x * 40) << 16 | (y * 30 % 256) << 8 | (x + y) % 256; };
    testing_support::writeFile(up, bmpFile(5, 300, 24, colour));
    testing_support::writeFile(down, bmpFile(5, 300, 24, colour, true));
    const auto [channels, rows] = pageRows(up);
    EXPECT_EQ(channels, 3);
    ASSERT_EQ(rows.size(), 5u * 300 * 3);
    EXPECT_EQ(rows, pageRows(down).second);
    const size_t last = (299 * 5 + 4) * 3;  // red, green, blue of the last pixel
    EXPECT_EQ(std::vector<unsigned char>(rows.begin() + last, rows.begin() + last + 3),
              (std::vector<unsigned char>{160, uchar(299 * 30 % 256), 303 % 256}));

    // Cut short between opening and reading: no page from half a picture.
    std::string why;
    auto picture = PagePicture::open(up.toStdString(), why);
    ASSERT_TRUE(picture) << why;
    ASSERT_TRUE(QFile::resize(up, 2000));
    JpegBytes jpeg;
    EXPECT_FALSE(encodeJpeg(*picture, 75, jpeg, why));
    EXPECT_EQ(why, "The picture file cannot be read");
    EXPECT_TRUE(pixelRows(*picture).empty());
}

TEST(PageImage, ABitmapWiderThanAJpegIsRefusedBeforeARowOfItIsRead) {
    // 268435456 x 1 pixels: one row of 805 MB, in a file that holds it sparsely.
    QTemporaryDir dir;
    const QString wide = dir.path() + "/wide.bmp";
    QByteArray header = bmpFile(1, 1, 24, [](int, int) { return 0; }).left(54);
    header[18] = 0, header[21] = 0x10;  // width 0x10000000
    testing_support::writeFile(wide, header);
    ASSERT_TRUE(QFile::resize(wide, 54 + 3LL * 268435456));
    const long before = runkit::resetPeakMemory();
    std::string why;
    EXPECT_FALSE(PagePicture::open(wide.toStdString(), why));
    EXPECT_EQ(why, "The picture is too large for a JPEG image (at most 65500 pixels a side)");
    EXPECT_LT(runkit::peakMegabytes() - before, 100);
}
