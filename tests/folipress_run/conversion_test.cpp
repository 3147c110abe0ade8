// The conversion run end to end: FreeImage, the PDF box library and the real pdftk.
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "ConversionFixture.h"
#include "PictureDecoder.h"
#include "ScopedEnvironment.h"
#include "pdfwrite/PdfBox.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

struct Conversion : ConversionFixture {};

void expectPage(const QMap<QString, QString>& info, int page, int pixelsW, int pixelsH) {
    const auto [w, h] = runkit::pageSize(info, page);
    EXPECT_NEAR(w, runkit::points(runkit::pageTenths(pixelsW)), 0.02) << "page " << page;
    EXPECT_NEAR(h, runkit::points(runkit::pageTenths(pixelsH)), 0.02) << "page " << page;
}

}  // namespace

TEST_F(Conversion, OneImageBecomesOnePageWithTheDocumentInformation) {
    add(picture("photo.jpg", FIF_JPEG, 94, 47));
    w->txtTitle->setText("Tax 2019");
    w->txtCreateFor->setText(QString::fromUtf8("Zoë Ann"));
    w->txtSubject->setText("Receipts, March");
    w->txtKeywords->setText("tax; receipts");
    w->txtCreationDate->setText("D:20190323013015+08'00");
    w->Slider1->setValue(60);
    EXPECT_FALSE(convert());

    const auto info = runkit::pdfInfo(output("Tax 2019"));
    EXPECT_EQ(info.value("Pages"), "1");
    expectPage(info, 1, 94, 47);  // 250 x 125 tenths of a millimetre
    EXPECT_EQ(runkit::pageTenths(94), 250);
    EXPECT_EQ(info.value("Title"), "Tax 2019");
    EXPECT_EQ(info.value("Author"), QString::fromUtf8("Zoë Ann"));
    EXPECT_EQ(info.value("Subject"), "Receipts, March");
    EXPECT_EQ(info.value("Keywords"), "tax; receipts");
    EXPECT_EQ(info.value("Creator"), "Lumidoc - Scanned Image To PDF");
    EXPECT_EQ(info.value("Producer"), "Lumidoc - Scanned Image To PDF");
    EXPECT_EQ(info.value("CreationDate"), "D:20190323013015+08'00");

    // No join: the one page goes straight to update_info.
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].commandLine,
              pdftk() + "c:\\tmp\\tmp1.pdf update_info c:\\tmp\\info.txt output c:\\tmp\\tmpx.pdf dont_ask");
    EXPECT_TRUE(runs[0].jpgtmpFiles.contains("0.pdf"));
    // pdftk's form: one record per entry, everything beyond ASCII (and "&") as a character reference.
    EXPECT_EQ(runs[0].info,
              "InfoBegin\r\nInfoKey: Title\r\nInfoValue: Tax 2019\r\n"
              "InfoBegin\r\nInfoKey: Author\r\nInfoValue: Zo&#235; Ann\r\n"
              "InfoBegin\r\nInfoKey: CreationDate\r\nInfoValue: D:20190323013015+08'00\r\n"
              "InfoBegin\r\nInfoKey: Subject\r\nInfoValue: Receipts, March\r\n"
              "InfoBegin\r\nInfoKey: Keywords\r\nInfoValue: tax; receipts\r\n"
              "InfoBegin\r\nInfoKey: Creator\r\nInfoValue: Lumidoc - Scanned Image To PDF\r\n"
              "InfoBegin\r\nInfoKey: Producer\r\nInfoValue: Lumidoc - Scanned Image To PDF\r\n");

    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_EQ(w->pb->value(), 0);
    EXPECT_TRUE(w->Command3->isEnabled());
    EXPECT_TRUE(toolbarEnabled());
    EXPECT_EQ(shell.opened, QStringList{"C:\\output"});
    EXPECT_EQ(shell.beeps, 1);
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_EQ(readFile(program.hostPath("setting.dll")),
              "\xEF\xBB\xBF\"Tax 2019\"\r\n\"Zo\xC3\xAB Ann\"\r\n\"Receipts, March\"\r\n\"tax; receipts\"\r\n\"60\"\r\n");
    // The working files are gone; the folders stay for the next start to delete.
    EXPECT_TRUE(files("jpgtmp").isEmpty());
    EXPECT_TRUE(files("tmp").isEmpty());

    // The next start shows this run's settings.
    frmPrinting next;
    next.Form_Load();
    EXPECT_EQ(next.txtTitle->text(), "Tax 2019");
    EXPECT_EQ(next.txtCreateFor->text(), QString::fromUtf8("Zoë Ann"));
    EXPECT_EQ(next.txtKeywords->text(), "tax; receipts");
    EXPECT_EQ(next.Slider1->value(), 60);
    EXPECT_EQ(next.lblQtt->text(), "Good");
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
}

TEST_F(Conversion, AProgramFolderNamedInTheDesktopsLanguageStartsPdftk) {
    const QString folder = program.hostPath(QString::fromUtf8("Ωμέγα dir"));
    testing_support::writeScript(folder + "/pdftk.exe", "exec -a pdftk.exe pdftk \"$@\"");
    testing_support::linkBuiltProgram(folder, "folipress-decoder");
    forms::App::setPathOverride(win::fromHostPath(folder));
    testing_support::ScopedEnvironment greek{{"LUMIDOC_ACP", nullptr}, {"LC_ALL", "el_GR.UTF-8"}};
    add(picture("a.png", FIF_PNG, 20, 20));
    add(picture("b.png", FIF_PNG, 30, 20));
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_EQ(runs.size(), 2);
    EXPECT_EQ(runkit::pdfInfo(output()).value("Pages"), "2");
}

TEST_F(Conversion, TwoImagesAreJoinedOnceInListOrder) {
    add(picture("b.png", FIF_PNG, 60, 90));
    add(picture("A.TIF", FIF_TIFF, 90, 60));
    EXPECT_FALSE(convert());
    const auto info = runkit::pdfInfo(output());
    EXPECT_EQ(info.value("Pages"), "2");
    expectPage(info, 1, 60, 90);
    expectPage(info, 2, 90, 60);

    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].commandLine,
              pdftk() + "c:\\tmp\\tmp1.pdf c:\\jpgtmp\\1.pdf cat output c:\\tmp\\tmp2.pdf dont_ask");
    EXPECT_TRUE(runs[0].tmpFiles.contains("tmp1.pdf"));
    EXPECT_TRUE(runs[0].tmpFiles.contains("tmp2.pdf"));
    EXPECT_EQ(runs[0].jpgtmpFiles, (QStringList{"0.pdf", "1.pdf"}));
    EXPECT_EQ(runs[1].commandLine,
              pdftk() + "c:\\tmp\\tmp2.pdf update_info c:\\tmp\\info.txt output c:\\tmp\\tmpx.pdf dont_ask");
    EXPECT_FALSE(runs[1].tmpFiles.contains("tmp1.pdf"));  // deleted after the cat that read it
    EXPECT_TRUE(runs[1].tmpFiles.contains("tmpx.pdf"));
}

TEST_F(Conversion, TenImagesOfEveryKindInListOrder) {
    struct Pic {
        const char* name;
        FREE_IMAGE_FORMAT fif;
        int bits;
    } pics[] = {
        {"p0.jpg", FIF_JPEG, 24},  {"p1.png", FIF_PNG, 24},  {"p2.tif", FIF_TIFF, 24},
        {"p3.bmp", FIF_BMP, 24},   {"p4.gif", FIF_GIF, 8},   {"P5.JPG", FIF_JPEG, 24},
        {"p6.png", FIF_PNG, 48},   {"p7.bmp", FIF_BMP, 8},   {"p8.jpeg", FIF_JPEG, 24},
        {"p9.tiff", FIF_TIFF, 48},
    };
    for (int i = 0; i < 10; ++i) add(picture(pics[i].name, pics[i].fif, 40 + 4 * i, 70 - 3 * i, pics[i].bits));
    // An ASCII-safe copy that the list still uses must outlive the run.
    writeFile(driveC.hostPath("tmp/1.jpeg"), readFile(pictures.path() + "/p8.jpeg"));
    w->List1->item(8)->setText("c:\\tmp\\1.jpeg");

    EXPECT_FALSE(convert());
    const auto info = runkit::pdfInfo(output());
    EXPECT_EQ(info.value("Pages"), "10");
    for (int i = 0; i < 10; ++i) expectPage(info, i + 1, 40 + 4 * i, 70 - 3 * i);

    ASSERT_EQ(runs.size(), 10);
    for (int k = 1; k <= 9; ++k) {
        const PdftkRun& r = runs[k - 1];
        EXPECT_EQ(r.commandLine, pdftk() + QString("c:\\tmp\\tmp%1.pdf c:\\jpgtmp\\%1.pdf cat output c:\\tmp\\tmp%2.pdf dont_ask")
                                               .arg(k).arg(k + 1));
        EXPECT_TRUE(r.tmpFiles.contains(QString("tmp%1.pdf").arg(k + 1)));
        EXPECT_FALSE(r.tmpFiles.contains(QString("tmp%1.pdf").arg(k - 1)));
    }
    QStringList pages;
    for (int i = 0; i < 10; ++i) pages << QString("%1.pdf").arg(i);
    pages.sort();
    EXPECT_EQ(runs[9].jpgtmpFiles, pages);
    EXPECT_EQ(runs[9].commandLine,
              pdftk() + "c:\\tmp\\tmp10.pdf update_info c:\\tmp\\info.txt output c:\\tmp\\tmpx.pdf dont_ask");
    EXPECT_EQ(files("tmp"), QStringList{"1.jpeg"});
}

TEST_F(Conversion, AGreyScanStaysOneChannelFromTheBitmapToThePage) {
    // A grey JPEG scan (one component) and a colour picture.
    runkit::initImages();
    FIBITMAP* grey = FreeImage_Allocate(40, 30, 8);
    RGBQUAD* pal = FreeImage_GetPalette(grey);
    for (int i = 0; i < 256; ++i) pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = BYTE(i);
    for (int y = 0; y < 30; ++y) std::fill_n(FreeImage_GetScanLine(grey, y), 40, BYTE(5 * y));
    const QString scan = pictures.path() + "/scan.jpg";
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, grey, scan.toLocal8Bit().constData(), 90));
    FreeImage_Unload(grey);

    // The page bitmap is 8-bit grey.
    QDir().mkpath(driveC.hostPath("tmp"));
    const QString path = win::fromHostPath(scan);
    const auto bitmap = PictureDecoder::decode(PictureDecoder::probe(path), path, "c:\\tmp\\tmp.bmp");
    ASSERT_EQ(bitmap.outcome, PictureDecoder::Outcome::Done);
    EXPECT_TRUE(bitmap.grey);
    EXPECT_EQ(readFile(driveC.hostPath("tmp/tmp.bmp")).at(28), 8);  // bits a pixel

    add(win::fromHostPath(scan));
    add(picture("photo.png", FIF_PNG, 40, 30));
    w->Slider1->setValue(100);
    EXPECT_FALSE(convert());
    EXPECT_EQ(runkit::pdfImages(output()), (QStringList{"gray 1 jpeg", "rgb 3 jpeg"}));
}

TEST_F(Conversion, ProgressLockedToolbarAndTheFocusSweep) {
    for (int i = 0; i < 5; ++i) add(picture(QString("p%1.png").arg(i), FIF_PNG, 20 + i, 20));
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));

    QList<int> values;
    QObject::connect(w->pb, &QProgressBar::valueChanged, [&](int v) { values << v; });
    QStringList labels;
    bool lockedThroughout = true;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (labels.isEmpty() || labels.last() != w->lblPB->text()) labels << w->lblPB->text();
        if (w->Command3->isEnabled() || !toolbarDisabled()) lockedThroughout = false;
    });
    sampler.start(0);

    // The sweep at the end of the run (the buttons lose the focus on the way in, too).
    struct FocusLog : QObject {
        QList<int> order;
        QList<QPushButton*> buttons;
        QLabel* status = nullptr;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::FocusIn && status->text() == "Done.")
                order << int(buttons.indexOf(static_cast<QPushButton*>(o)));
            return false;
        }
    } focus;
    focus.buttons = w->CmdToolsBar;
    focus.status = w->lblPB;

    w->CmdToolsBar[0]->setFocus();  // somewhere to start from
    for (QPushButton* b : w->CmdToolsBar) b->installEventFilter(&focus);
    EXPECT_FALSE(convert());
    sampler.stop();

    EXPECT_EQ(values, (QList<int>{25, 50, 75, 100, 25, 50, 75, 100, 0}));
    const QStringList expected = {"Preparing Files...0%",  "Preparing Files...25%", "Preparing Files...50%",
                                  "Preparing Files...75%", "Preparing Files...100%", "Now Start Creating...",
                                  "Creating...25%",        "Creating...50%",         "Creating...75%",
                                  "Creating...100%"};
    int at = 0;
    for (const QString& l : labels)
        if (at < expected.size() && l == expected[at]) ++at;
    EXPECT_EQ(at, expected.size()) << labels.join(" | ").toStdString();
    EXPECT_TRUE(lockedThroughout);
    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_EQ(focus.order, (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
    EXPECT_EQ(runkit::pdfInfo(output()).value("Pages"), "5");
}

TEST_F(Conversion, AnEmptyListAsksForAFileAndWritesNothing) {
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->CmdToolsBar[2]->setFocus();
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "Please add a file");
    EXPECT_EQ(ui.shown[0].title, "Add File");
    EXPECT_EQ(ui.shown[0].style, forms::vbExclamation);
    EXPECT_EQ(w->focusWidget(), w->CmdToolsBar[6]);
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("jpgtmp")));
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("output")));
    EXPECT_FALSE(QFileInfo::exists(program.hostPath("setting.dll")));
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(Conversion, ATrailingBackslashIsDroppedAndAnOldFileReplaced) {
    writeFile(output(), "an older document");
    add(picture("a.bmp", FIF_BMP, 30, 40));
    w->txtPath->setText("C:\\output\\");
    EXPECT_FALSE(convert());
    EXPECT_EQ(w->txtPath->text(), "C:\\output");
    EXPECT_EQ(runkit::pdfInfo(output()).value("Pages"), "1");
    EXPECT_EQ(shell.opened, QStringList{"C:\\output"});
    EXPECT_EQ(QDir(driveC.hostPath("output")).entryList(QDir::Files), QStringList{"Scans.pdf"});
}

TEST_F(Conversion, AFailingBoxCallShowsTheLibraryTextAndEndsTheProgram) {
    add(picture("a.png", FIF_PNG, 30, 40));
    // Something that is not a folder stands where the page files go.
    QDir().mkpath(driveC.hostPath("output"));
    writeFile(driveC.hostPath("jpgtmp"), "a file, not a folder");
    EXPECT_TRUE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "The folder of the output file \"c:\\jpgtmp\\0.pdf\" does not exist");
    EXPECT_EQ(ui.shown[0].title, "PDF");
    EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
    EXPECT_TRUE(toolbarDisabled());
    EXPECT_FALSE(w->Command3->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(output()));
    EXPECT_TRUE(runs.isEmpty());
}

TEST_F(Conversion, AHugePictureIsScaledOntoTheLargestPage) {
    // 12,400 pixels is more than a 16-bit page side holds at 0.376 pixels a unit.
    add(picture("wide.png", FIF_PNG, 12400, 31));
    EXPECT_FALSE(convert());
    const auto info = runkit::pdfInfo(output());
    ASSERT_EQ(info.value("Pages"), "1");
    const auto [pw, ph] = runkit::pageSize(info, 1);
    EXPECT_NEAR(pw, runkit::points(32767), 0.02);
    EXPECT_NEAR(ph, runkit::points(int(std::nearbyint(31 / 0.376 * 32767 / (12400 / 0.376)))), 0.02);
    EXPECT_TRUE(ui.shown.isEmpty());
}

TEST_F(Conversion, APictureNarrowerThanTheSmallestPageStillGetsOne) {
    // One pixel is 3 tenths of a millimetre: less than the 3 points a PDF page side needs.
    add(picture("strip.png", FIF_PNG, 1, 40));
    add(picture("next.png", FIF_PNG, 30, 40));
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.value(0).prompt.toStdString();
    const auto info = runkit::pdfInfo(output());
    ASSERT_EQ(info.value("Pages"), "2");
    EXPECT_NEAR(runkit::pageSize(info, 1).first, 3.0, 0.02);
    expectPage(info, 2, 30, 40);
}

TEST_F(Conversion, TheListAsItStoodWhenTheRunStarted) {
    add(picture("a.png", FIF_PNG, 30, 40));
    add(picture("b.png", FIF_PNG, 50, 40));
    // The user clears the lists while the first page is made.
    QTimer::singleShot(0, [&] {
        w->List1->clear();
        w->List2->clear();
    });
    EXPECT_FALSE(convert());
    EXPECT_EQ(runkit::pdfInfo(output()).value("Pages"), "2");
    EXPECT_EQ(w->lblPB->text(), "Done.");
}

TEST_F(Conversion, EveryCharacterOfTheInformationArrivesAsTyped) {
    add(picture("a.png", FIF_PNG, 30, 40));
    // Letters the ANSI code page cannot carry, and text that looks like a character reference.
    const QString title = QString::fromUtf8("Σαρώσεις 😀");
    w->txtTitle->setText(title);
    w->txtSubject->setText("Tom &amp; Jerry &#65; <b>");
    w->txtKeywords->setText(QString::fromUtf8("naïve, café"));
    EXPECT_FALSE(convert());
    const auto info = runkit::pdfInfo(output(title));
    EXPECT_EQ(info.value("Pages"), "1");
    EXPECT_EQ(info.value("Title"), title);
    EXPECT_EQ(info.value("Subject"), "Tom &amp; Jerry &#65; <b>");
    EXPECT_EQ(info.value("Keywords"), QString::fromUtf8("naïve, café"));
}

TEST_F(Conversion, WriteHeadingPutsABlueBoldLineOnTheBoxAndFailsLikeEveryCall) {
    QDir().mkpath(driveC.hostPath("out"));
    w->pdfBox = CreateBox(0, 0);
    SetStrProp(w->pdfBox, pdfbox::kOutputFile, "c:\\out\\h.pdf");
    ASSERT_EQ(BeginDoc(w->pdfBox), 0);
    w->WriteHeading("Chapter One", 120);
    ASSERT_EQ(EndDoc(w->pdfBox), 0);
    QProcess p;
    p.start("pdftotext", {driveC.hostPath("out/h.pdf"), "-"});
    p.waitForFinished(20000);
    EXPECT_TRUE(p.readAllStandardOutput().contains("Chapter One"));
    const QByteArray pdf = readFile(driveC.hostPath("out/h.pdf"));
    EXPECT_TRUE(pdf.contains("/Helvetica-Bold"));
    EXPECT_TRUE(pdf.contains("0 0 1 rg"));  // FF0000 is blue in the box's BGR colours

    // Without a document the text cannot go anywhere: the library's text, and the end.
    EXPECT_TRUE([&] {
        try {
            w->WriteHeading("Nowhere", 10);
            return false;
        } catch (const runkit::ProgramEnded&) {
            return true;
        }
    }());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "TextOut needs BeginDoc first");
    EXPECT_EQ(ui.shown[0].title, "PDF");
    FreeBox(w->pdfBox);
}
