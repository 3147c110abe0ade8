// Folder search and the path routines.
#include <QListWidget>

#include "ScopedEnvironment.h"
#include "FileSearch.h"
#include "PageSize.h"
#include "RunKit.h"
#include "modFunction.h"
#include "win/RuntimeError.h"

using testing_support::ScratchDriveC;
using testing_support::writeFile;

namespace {

struct Search : ::testing::Test {
    ScratchDriveC driveC;
    QListWidget first;
    QListWidget second;
    void make(const QString& relative) { writeFile(driveC.hostPath(relative), "x"); }
    QStringList found() const {
        QStringList a, b;
        for (int i = 0; i < first.count(); ++i) a << first.item(i)->text();
        for (int i = 0; i < second.count(); ++i) b << second.item(i)->text();
        EXPECT_EQ(a, b);  // the two lists always in step
        return a;
    }
};

}  // namespace

TEST_F(Search, ImagesByTheirEndingInNameOrderBeforeTheSubfolders) {
    // Made out of order: the listing is by name, without regard to case.
    make("scans/notabmp");
    make("scans/d.txt");
    make("scans/c.Tiff");
    make("scans/B.jpeg");
    make("scans/a.JPG");
    make("scans/e.jpe");
    make("scans/sub2/z.png");
    make("scans/Sub1/y.gif");
    make("scans/Sub1/deeper/x.bmp");
    make("scans/sub1z.tif");
    FileSearch::SearchImages("C:\\scans", &first, &second);
    EXPECT_EQ(found(), (QStringList{"C:\\scans\\a.JPG", "C:\\scans\\B.jpeg", "C:\\scans\\c.Tiff",
                                    "C:\\scans\\notabmp", "C:\\scans\\sub1z.tif",
                                    "C:\\scans\\Sub1\\y.gif", "C:\\scans\\Sub1\\deeper\\x.bmp",
                                    "C:\\scans\\sub2\\z.png"}));
}

TEST_F(Search, DriveRootsJoinWithoutASecondBackslash) {
    make("root.png");
    FileSearch::SearchImages("C:\\", &first, &second);
    EXPECT_EQ(found(), QStringList{"C:\\root.png"});
    first.clear();
    second.clear();
    make("f/one.png");
    FileSearch::SearchImages("C:\\f\\", &first, &second);
    EXPECT_EQ(found(), QStringList{"C:\\f\\one.png"});
}

TEST_F(Search, OnlyTheFirstTwoHundredSubfoldersAreSearched) {
    for (int i = 0; i < 250; ++i) make(QString("many/s%1/p.png").arg(i, 3, 10, QChar('0')));
    FileSearch::SearchImages("C:\\many", &first, &second);
    const QStringList f = found();
    ASSERT_EQ(f.size(), 200);
    EXPECT_EQ(f.first(), "C:\\many\\s000\\p.png");
    EXPECT_EQ(f.last(), "C:\\many\\s199\\p.png");
}

TEST_F(Search, MissingFoldersFilesAndLoopsAddNothingMore) {
    FileSearch::SearchImages("C:\\nowhere", &first, &second);
    make("plain.png");
    FileSearch::SearchImages("C:\\plain.png", &first, &second);
    FileSearch::SearchImages("Q:\\unmapped", &first, &second);
    EXPECT_TRUE(found().isEmpty());

    // A link back up the tree is walked once, not round and round.
    make("loop/a.png");
    ASSERT_TRUE(QFile::link(driveC.hostPath("loop"), driveC.hostPath("loop/back")));
    FileSearch::SearchImages("C:\\loop", &first, &second);
    EXPECT_EQ(found(), QStringList{"C:\\loop\\a.png"});
}

TEST(StripTrailing, CutsNulsAndSpacesAtTheEndOnly) {
    EXPECT_EQ(FileSearch::StripTrailing(QString("a b") + QChar(0) + "  " + QChar(0)), "a b");
    EXPECT_EQ(FileSearch::StripTrailing(" x"), " x");
    EXPECT_EQ(FileSearch::StripTrailing(QString(3, QChar(0)) + "  "), "");
    EXPECT_EQ(FileSearch::StripTrailing(""), "");
}

TEST(GetFilePart, ModesOnDottedPaths) {
    using modFunction::GetFilePart;
    EXPECT_EQ(GetFilePart("C:\\scans\\page.1.tif", 0), "tif");
    EXPECT_EQ(GetFilePart("C:\\scans\\page.1.tif", 1), "page.1.tif");
    EXPECT_EQ(GetFilePart("C:\\scans\\page.1.tif", 2), "page");
    EXPECT_EQ(GetFilePart("C:\\scans\\page.1.tif", 3), "C:\\scans");
    EXPECT_EQ(GetFilePart("C:\\scans\\page.1.tif", 4), "");
    EXPECT_EQ(GetFilePart("C:\\a.b\\file", 0), "b\\file");
    EXPECT_EQ(GetFilePart("nodot", 0), "nodot");
    EXPECT_EQ(GetFilePart("name.png", 1), "name.png");
    try {
        GetFilePart("name.png", 3);
        FAIL() << "mode 3 without a backslash must raise";
    } catch (const win::RuntimeError& e) {
        EXPECT_EQ(e.number(), win::kErrInvalidCall);
    }
}

TEST(TextBefore, FirstDelimiterOnly) {
    using modFunction::TextBefore;
    EXPECT_EQ(TextBefore("page.1.tif", "."), "page");
    EXPECT_EQ(TextBefore(".tif", "."), "");
    EXPECT_EQ(TextBefore("tif", "."), "tif");
    EXPECT_EQ(TextBefore("", "."), "");
    EXPECT_EQ(TextBefore("a.b", ".b"), "a.b");
}

TEST(FileExistsAnsi, FilesFoldersAndWildcards) {
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    ScratchDriveC driveC;
    writeFile(driveC.hostPath("docs/Report.PNG"), "x");
    writeFile(driveC.hostPath("docs/σάρωση.jpg"), "x");
    using modFunction::FileExistsAnsi;
    EXPECT_TRUE(FileExistsAnsi("c:\\docs\\report.png"));
    EXPECT_TRUE(FileExistsAnsi("C:\\DOCS"));
    EXPECT_FALSE(FileExistsAnsi("c:\\docs\\missing.png"));
    EXPECT_FALSE(FileExistsAnsi("c:\\docs\\"));
    // The Greek letters become one "?" each, which matches the file itself...
    EXPECT_TRUE(FileExistsAnsi(QString::fromUtf8("c:\\docs\\σάρωση.jpg")));
    // ...and anything else of that shape.
    EXPECT_TRUE(FileExistsAnsi(QString::fromUtf8("c:\\docs\\ωωωωωω.jpg")));
    EXPECT_FALSE(FileExistsAnsi(QString::fromUtf8("c:\\docs\\ωω.jpg")));
    EXPECT_TRUE(FileExistsAnsi("c:\\docs\\*.png"));
    EXPECT_FALSE(FileExistsAnsi("c:\\do?s\\report.png"));
}

TEST(PageSizeFor, PixelsAt96DpiInTenthsOfAMillimetre) {
    auto is = [](PageSize s, int w, int h) { return s.W == w && s.H == h; };
    EXPECT_TRUE(is(PageSizeFor(2480, 3508), 6596, 9330));  // an A4 scan at 300 dpi
    EXPECT_TRUE(is(PageSizeFor(94, 47), 250, 125));
    EXPECT_TRUE(is(PageSizeFor(12320, 1), 32766, 3));      // the largest that fits as it is
    // Beyond that the picture is scaled onto the largest page, proportions kept.
    EXPECT_TRUE(is(PageSizeFor(12321, 12321), 32767, 32767));
    EXPECT_TRUE(is(PageSizeFor(12400, 31), 32767, 82));
    EXPECT_TRUE(is(PageSizeFor(31, 24800), 41, 32767));
    EXPECT_TRUE(is(PageSizeFor(100000, 1), 32767, 1));     // never a side of 0
}
