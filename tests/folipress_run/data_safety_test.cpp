// The images-to-PDF program touches nothing of the user's: working folders that are links, a
// drive C that holds the home folder, settings in any script, a read-only or private document,
// a picture too large to decode and a pdftk step that fails for lack of space.
#include <QTemporaryDir>

#include <iostream>

#include "ConversionFixture.h"
#include "PictureDecoder.h"
#include "SmallFileSystem.h"
#include "ScopedEnvironment.h"
#include "SettingsFile.h"
#include "win/WinPath.h"

using testing_support::readFile;
using testing_support::treeSnapshot;
using testing_support::writeFile;

namespace {

struct DataSafety : ConversionFixture {
    QTemporaryDir user;  // the user's own folders, outside drive C
    DataSafety() {
        for (const char* f : {"a/info.txt", "a/tmp.bmp", "a/tmp1.pdf", "a/tmpx.pdf", "a/sub/x.txt",
                              "b/0.pdf", "b/1.pdf", "b/jpgtmp.pdf", "c/keep.txt"})
            writeFile(userPath(f), QByteArray("the user's ") + f);
    }
    QString userPath(const QString& name) const { return user.path() + "/" + name; }
    void linkWorkingFolder(const QString& name, const QString& target) {
        QDir(driveC.hostPath(name)).removeRecursively();
        ASSERT_TRUE(QFile::link(userPath(target), driveC.hostPath(name)));
    }
};

quint32 crc32(const QByteArray& bytes) {
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes) {
        c ^= quint8(b);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A PNG header of w x h pixels with a few bytes of picture data: what a decoder would need
// w x h pixels of memory for.
QByteArray pngHeader(quint32 w, quint32 h) {
    auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray c;
        const quint32 n = quint32(data.size());
        c += char(n >> 24), c += char(n >> 16), c += char(n >> 8), c += char(n);
        const QByteArray body = QByteArray(type) + data;
        const quint32 crc = crc32(body);
        c += body;
        c += char(crc >> 24), c += char(crc >> 16), c += char(crc >> 8), c += char(crc);
        return c;
    };
    QByteArray ihdr;
    for (quint32 v : {w, h}) ihdr += char(v >> 24), ihdr += char(v >> 16), ihdr += char(v >> 8), ihdr += char(v);
    ihdr += QByteArray("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
           chunk("IDAT", qCompress(QByteArray(4096, 0)).mid(4)) + chunk("IEND", QByteArray());
}

// A GIF whose first frame is w x h pixels.
QByteArray gifHeader(quint16 w, quint16 h) {
    QByteArray g("GIF89a");
    g += QByteArray("\x01\x00\x01\x00\x00\x00\x00", 7);             // 1 x 1 screen, no colour table
    g += QByteArray("\x21\xF9\x04\x00\x00\x00\x00\x00", 8);         // a graphic control extension
    g += QByteArray("\x2C\x00\x00\x00\x00", 5);
    g += char(w & 0xFF), g += char(w >> 8), g += char(h & 0xFF), g += char(h >> 8);
    g += QByteArray("\x00\x02\x02\x4C\x01\x00\x3B", 7);
    return g;
}

}  // namespace

TEST_F(DataSafety, StartUpRemovesLinkedWorkingFoldersAsLinks) {
    const auto before = treeSnapshot(user.path());
    linkWorkingFolder("tmp", "a");
    linkWorkingFolder("JPGTMP", "b");
    linkWorkingFolder("TmpFoliPress", "c");
    frmPrinting next;
    next.Form_Load();
    for (const char* name : {"tmp", "JPGTMP", "TmpFoliPress"})
        EXPECT_FALSE(QFileInfo::exists(driveC.hostPath(name)) || QFileInfo(driveC.hostPath(name)).isSymLink()) << name;
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST_F(DataSafety, ARunNeverWritesOrDeletesThroughLinkedWorkingFolders) {
    const auto before = treeSnapshot(user.path());
    add(picture("p.png", FIF_PNG, 30, 40));
    add(picture("q.png", FIF_PNG, 40, 30));
    linkWorkingFolder("tmp", "a");
    linkWorkingFolder("jpgtmp", "b");
    EXPECT_FALSE(convert());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.value(0).prompt.toStdString();
    EXPECT_EQ(runkit::pdfInfo(output()).value("Pages"), "2");
    EXPECT_FALSE(QFileInfo(driveC.hostPath("tmp")).isSymLink());
    EXPECT_FALSE(QFileInfo(driveC.hostPath("jpgtmp")).isSymLink());
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST_F(DataSafety, ADriveCThatIsNotTheSuitesOwnEndsTheProgramBeforeAnythingIsTouched) {
    // A fake home with the folders start-up would delete; a system folder that holds a "tmp"
    // among others (as /var does); a plain file.
    const QString home = userPath("home");
    for (const char* f : {"tmp/a.txt", "TMP/b.txt", "JPGTMP/c.txt", "OcrTmp/d.txt", "tmpfolipress/e.txt"})
        writeFile(home + "/" + f, "mine");
    writeFile(userPath("var/tmp/session"), "system's");
    writeFile(userPath("var/log/syslog"), "system's");
    writeFile(userPath("notes.txt"), "mine");
    const auto before = treeSnapshot(user.path());
    const QByteArray homeBytes = home.toLocal8Bit();
    testing_support::ScopedEnvironment fakeHome{{"HOME", homeBytes.constData()}};
    for (const QString& drive : {home, home + "/tmp/..", userPath("var"), userPath("notes.txt")}) {
        const QByteArray driveBytes = drive.toLocal8Bit();
        testing_support::ScopedEnvironment env{{"LUMIDOC_DRIVE_C", driveBytes.constData()}};
        ui.shown.clear();
        frmPrinting next;
        bool ended = false;
        try {
            next.Form_Load();
        } catch (const runkit::ProgramEnded& e) {
            ended = e.exitCode != 0;
        }
        EXPECT_TRUE(ended) << drive.toStdString();
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
        EXPECT_TRUE(ui.shown[0].prompt.contains("\r\n" + drive + "\r\n")) << ui.shown[0].prompt.toStdString();
        EXPECT_TRUE(ui.shown[0].prompt.contains("LUMIDOC_DRIVE_C"));
    }
    EXPECT_EQ(treeSnapshot(user.path()), before);
}

TEST_F(DataSafety, SettingsInAnyScriptComeBackAfterARestart) {
    const QString text = QString::fromUtf8("Café Ωmega 日本 😀");
    add(picture("p.png", FIF_PNG, 30, 40));
    w->txtTitle->setText(text);
    w->txtCreateFor->setText(text + " author");
    w->txtSubject->setText(text + " subject");
    w->txtKeywords->setText(text + " \"keys\", more");
    EXPECT_FALSE(convert());
    frmPrinting next;
    next.Form_Load();
    EXPECT_EQ(next.txtTitle->text(), text);
    EXPECT_EQ(next.txtCreateFor->text(), text + " author");
    EXPECT_EQ(next.txtSubject->text(), text + " subject");
    EXPECT_EQ(next.txtKeywords->text(), text + " \"keys\", more");

    // A file in the earlier form, in the ANSI code page, reads as before.
    const testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    writeFile(program.hostPath("setting.dll"), "\"Zo\xEB\"\r\n\"Ann\"\r\n\"Tax\"\r\n\"\"\r\n\"75\"\r\n");
    EXPECT_EQ(SettingsFile::Read(forms::App::path() + "\\setting.dll"),
              (QStringList{QString::fromUtf8("Zoë"), "Ann", "Tax", "", "75"}));
}

TEST_F(DataSafety, AReadOnlyDocumentIsNotReplaced) {
    writeFile(output(), "the user's document");
    QFile::setPermissions(output(), QFileDevice::ReadOwner);
    writeFile(output() + ".copying", "a file of the user's");
    const auto before = treeSnapshot(driveC.hostPath("output"));
    add(picture("p.png", FIF_PNG, 30, 40));
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].prompt.startsWith("The PDF document could not be saved as\r\nC:\\output\\Scans.pdf\r\n"))
        << ui.shown[0].prompt.toStdString();
    EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
    EXPECT_EQ(treeSnapshot(driveC.hostPath("output")), before);
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(DataSafety, APrivateDocumentStaysPrivateAndSoDoesOneALinkThereNames) {
    add(picture("p.png", FIF_PNG, 30, 40));
    for (const QString& document : {output(), userPath("private/Scans.pdf")}) {
        const bool linked = document != output();
        SCOPED_TRACE(linked ? "through a link" : "in the output folder");
        QFile::remove(output());
        if (linked) QFile::link(document, output());
        writeFile(document, "the user's earlier document");
        testing_support::setPermissions(document, 0600);
        EXPECT_FALSE(convert());
        EXPECT_EQ(runkit::pdfInfo(document).value("Pages"), "1");
        EXPECT_EQ(testing_support::permissionsOf(document), "0600");
        EXPECT_EQ(QFileInfo(output()).isSymLink(), linked);
    }
}

TEST_F(DataSafety, APictureTooLargeForAPageIsRefusedBeforeItIsDecoded) {
    const struct {
        const char* name;
        QByteArray bytes;
        const char* size;
    } bombs[] = {{"bomb.png", pngHeader(30000, 30000), "30000 x 30000"},
                 {"wide.png", pngHeader(600000, 500), "600000 x 500"},
                 {"bomb.gif", gifHeader(40000, 40000), "40000 x 40000"}};
    for (const auto& b : bombs) {
        w->List1->clear();
        w->List2->clear();
        ui.shown.clear();
        add(picture("fine.png", FIF_PNG, 20, 20));
        add(file(b.name, b.bytes), QString("shown as ") + b.name);
        EXPECT_FALSE(convert());
        ASSERT_EQ(ui.shown.size(), 1) << b.name;
        EXPECT_EQ(ui.shown[0].prompt, QString("This picture is too large to convert: ") + b.size +
                                          " pixels, more than 268 million pixels for one page.\r\n"
                                          "shown as " + b.name + "\r\n\r\nNo PDF document was written.");
        EXPECT_EQ(ui.shown[0].title, "Convert");
        EXPECT_FALSE(QFileInfo::exists(program.hostPath("setting.dll")));
        EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
        EXPECT_TRUE(w->Command3->isEnabled());
    }
    // Just within the bound the header passes.
    const auto edge = PictureDecoder::probe(file("edge.png", pngHeader(16384, 16384)));
    EXPECT_EQ(edge.outcome, PictureDecoder::Outcome::Done);
    EXPECT_EQ(edge.size.width * edge.size.height, kMaxPicturePixels);
}

TEST_F(DataSafety, APdftkStepThatFailsForLackOfSpaceKeepsTheEarlierDocument) {
    // Drive C on a small file system of its own, filled up just before the step; where none can
    // be mounted, a file-size limit on pdftk stands in for the full disk.
    testing_support::SmallFileSystem disk(driveC.hostPath(), "size=4m");
    if (!disk.ok()) std::cout << disk.reason().toStdString() << "; pdftk gets a file-size limit\n";
    testing_support::writeScript(program.hostPath("pdftk.exe"),
                                 "[ -e \"$0.limit\" ] && ulimit -f 4\nexec -a pdftk.exe pdftk \"$@\"");
    const QString out = userPath("out/Scans.pdf");
    writeFile(out, "the user's earlier document");
    w->txtPath->setText(win::fromHostPath(userPath("out")));
    // A list entry that is an ASCII-safe copy in c:\tmp, as adding a file makes it.
    ASSERT_TRUE(runkit::makePicture(driveC.hostPath("tmp/1.jpg"), FIF_JPEG, 300, 300));
    add("c:\\tmp\\1.jpg", QString::fromUtf8("\u65e5\u672c.jpg"));
    add(picture("b.jpg", FIF_JPEG, 300, 300));
    add(picture("c.jpg", FIF_JPEG, 300, 300));

    const struct {
        int fullAfterRun;
        const char* message;
    } steps[] = {{1, "pdftk could not join page 3 of 3 to the document ("},
                 {2, "pdftk could not set the document information ("}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message);
        ui.shown.clear();
        int ended = 0;
        const auto fill = QObject::connect(w->dosRunner, &DOSOutputs::CommandOver, [&] {
            if (++ended != step.fullAfterRun) return;
            if (disk.ok()) writeFile(driveC.hostPath("ballast"), QByteArray(disk.freeBytes() - 4096, 'b'));
            else writeFile(program.hostPath("pdftk.exe.limit"), "");
        });
        EXPECT_FALSE(convert());
        QObject::disconnect(fill);
        QFile::remove(driveC.hostPath("ballast"));
        QFile::remove(program.hostPath("pdftk.exe.limit"));

        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown[0].prompt.startsWith(step.message)) << ui.shown[0].prompt.toStdString();
        EXPECT_TRUE(ui.shown[0].prompt.contains("), so no PDF document was written."));
        EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
        EXPECT_EQ(readFile(out), "the user's earlier document");
        EXPECT_TRUE(shell.opened.isEmpty());
        EXPECT_EQ(shell.beeps, 0);
        EXPECT_EQ(files("tmp"), QStringList{"1.jpg"});
        EXPECT_EQ(files("jpgtmp"), QStringList());
        EXPECT_TRUE(w->Command3->isEnabled());
    }
}
