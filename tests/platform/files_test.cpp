// File operations with the runtime's attributes, listings and sequential files.
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "forms/SequentialFile.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"

using testing_support::ScratchDriveC;
using testing_support::writeFile;

namespace {
QStringList listAll(const QString& pattern, int mask) {
    QStringList out;
    for (QString n = win::dir(pattern, mask); !n.isEmpty(); n = win::dir()) out << n;
    out.sort();
    return out;
}
}  // namespace

TEST(FileSystem, ListingHonoursTheAttributeMask) {
    ScratchDriveC c;
    writeFile(c.hostPath("d/a.JPG"), "1");
    writeFile(c.hostPath("d/b.txt"), "2");
    writeFile(c.hostPath("d/.hidden"), "3");
    writeFile(c.hostPath("d/sub/x"), "4");
    EXPECT_EQ(listAll("c:\\d\\", 0), QStringList({"a.JPG", "b.txt"}));
    EXPECT_EQ(listAll("c:\\d\\*.jpg", 0), QStringList({"a.JPG"}));
    EXPECT_EQ(listAll("c:\\d\\", 31), QStringList({".", "..", ".hidden", "a.JPG", "b.txt", "sub"}));
    EXPECT_TRUE(win::dir("c:\\nothere\\", 31).isEmpty());
    EXPECT_TRUE(win::dir().isEmpty());
}

TEST(FileSystem, AttributesMapOntoTheWriteBitAndDotNames) {
    ScratchDriveC c;
    writeFile(c.hostPath("f.txt"), "x");
    writeFile(c.hostPath(".h"), "x");
    EXPECT_EQ(win::getAttr("c:\\f.txt") & win::kAttrReadOnly, 0);
    win::setAttr("c:\\f.txt", win::kAttrReadOnly);
    EXPECT_NE(win::getAttr("c:\\f.txt") & win::kAttrReadOnly, 0);
    win::setAttr("c:\\f.txt", win::kAttrNormal);
    EXPECT_EQ(win::getAttr("c:\\f.txt") & win::kAttrReadOnly, 0);
    EXPECT_NE(win::getAttr("c:\\.h") & win::kAttrHidden, 0);
    EXPECT_NE(win::getAttr("c:\\") & win::kAttrDirectory, 0);
}

TEST(FileSystem, FailuresRaiseRuntimeErrors) {
    ScratchDriveC c;
    EXPECT_THROW(win::getAttr("c:\\none"), win::RuntimeError);
    EXPECT_THROW(win::killFile("c:\\none"), win::RuntimeError);
    EXPECT_THROW(win::removeFolder("c:\\none"), win::RuntimeError);
    EXPECT_THROW(win::makeFolder("c:\\a\\b\\c"), win::RuntimeError);
    win::makeFolder("c:\\a");
    EXPECT_THROW(win::makeFolder("c:\\a"), win::RuntimeError);
    EXPECT_THROW(win::copyFile("c:\\none", "c:\\a\\x"), win::RuntimeError);
    writeFile(c.hostPath("a/full"), "1");
    EXPECT_THROW(win::removeFolder("c:\\a"), win::RuntimeError);
    try {
        win::killFile("c:\\none");
    } catch (const win::RuntimeError& e) {
        EXPECT_EQ(e.number(), win::kErrFileNotFound);
    }
    EXPECT_FALSE(win::skipOnError([] { win::killFile("c:\\none"); }));
    EXPECT_THROW(win::skipOnError([] { throw std::runtime_error("other"); }), std::runtime_error);
}

TEST(FileSystem, CopyReplacesTheTarget) {
    ScratchDriveC c;
    writeFile(c.hostPath("src"), "new");
    writeFile(c.hostPath("dst"), "old content");
    win::copyFile("c:\\src", "c:\\dst");
    EXPECT_EQ(testing_support::readFile(c.hostPath("dst")), "new");
    EXPECT_EQ(win::fileLength("c:\\dst"), 3);
    EXPECT_EQ(win::fileLength("c:\\none"), -1);
}

TEST(Rounding, HalvesGoToEvenAndOverflowRaises) {
    EXPECT_EQ(win::roundToInt16(2.5), 2);
    EXPECT_EQ(win::roundToInt16(3.5), 4);
    EXPECT_EQ(win::roundToInt16(-2.5), -2);
    EXPECT_EQ(win::roundToInt16(32767.4), 32767);
    EXPECT_THROW(win::roundToInt16(32767.5), win::RuntimeError);
    EXPECT_THROW(win::roundToInt32(3e9), win::RuntimeError);
}

TEST(SequentialFile, WriteAndInputRoundTrip) {
    ScratchDriveC c;
    {
        forms::SequentialWriter w("c:\\s.txt");
        w.write({QString::fromUtf8("Title, with comma"), QString("Me"), 80});
        w.write({QString("")});
    }
    EXPECT_EQ(testing_support::readFile(c.hostPath("s.txt")),
              "\"Title, with comma\",\"Me\",80\r\n\"\"\r\n");
    forms::SequentialReader r("c:\\s.txt");
    EXPECT_EQ(r.next(), "Title, with comma");
    EXPECT_EQ(r.next(), "Me");
    EXPECT_EQ(r.next(), "80");
    EXPECT_EQ(r.next(), "");
    EXPECT_TRUE(r.atEnd());
    EXPECT_THROW(r.next(), win::RuntimeError);
}

TEST(SequentialFile, UnquotedFieldsAndLineEnds) {
    ScratchDriveC c;
    writeFile(c.hostPath("w.ini"), "  1  \r\nC:\\out\\, next\nlast");
    forms::SequentialReader r("c:\\w.ini");
    EXPECT_EQ(r.next(), "1");
    EXPECT_EQ(r.next(), "C:\\out\\");
    EXPECT_EQ(r.next(), "next");
    EXPECT_EQ(r.next(), "last");
    EXPECT_THROW(forms::SequentialReader("c:\\none.ini"), win::RuntimeError);
    EXPECT_THROW(forms::SequentialWriter("c:\\no\\such\\folder.txt"), win::RuntimeError);
}
