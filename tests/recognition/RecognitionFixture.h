#pragma once
// Shared by the recognition tests: test documents, the program folder beside the test
// executable (stand-in engine, WordPad recorder, path.ini) and a dialog over a fake viewer.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "ProgramVariables.h"
#include "TestSupport.h"
#include "forms/MessageBox.h"
#include "frmOCR.h"
#include "win/ProcessTable.h"
#include "win/WinPath.h"
#include "PrivateProcessTable.h"
#include "SmallFileSystem.h"

namespace recognition_test {

using testing_support::readFile;
using testing_support::writeFile;
using testing_support::writeScript;

// A PDF whose pages carry the given words in a large plain font.
inline void makePdf(const QString& hostPath, const QStringList& pageWords,
                    QSizeF pageSizePt = QSizeF(300, 120)) {
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    QPdfWriter writer(hostPath);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(pageSizePt, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    QFont font("DejaVu Sans");
    font.setPixelSize(28);
    painter.setFont(font);
    for (int i = 0; i < pageWords.size(); ++i) {
        if (i > 0) writer.newPage();
        painter.drawText(QRectF(10, 10, pageSizePt.width() - 20, pageSizePt.height() - 20),
                         Qt::AlignLeft | Qt::AlignVCenter, pageWords[i]);
    }
    painter.end();
}

// The program folder: the folder of the running test executable.
inline QString programFolder() { return QCoreApplication::applicationDirPath(); }

// Writes path.ini (first field: the output folder), or removes it for an empty text.
inline void setPathIni(const QString& content) {
    const QString ini = programFolder() + "/path.ini";
    QFile::remove(ini);
    if (!content.isNull()) writeFile(ini, content.toLatin1());
}

// An engine stand-in: writes "page <base name>" as the page text and logs its arguments, then
// "tif" when the page image was there. `extra` runs before the text is written (it may exit
// to play an engine that writes nothing).
inline void installStandInEngine(const QString& logHostPath, const QString& extra = QString()) {
    const QString ocr = programFolder() + "/ocr.exe";
    QFile::remove(ocr);
    const QString log = "'" + logHostPath + "'";
    writeScript(ocr, "{ printf '%s|' \"$@\"; [ -f \"$1\" ] && printf tif; echo; } >> " + log + "\n" +
                         extra + "\nprintf 'page %s\\n' \"$(basename \"$2\")\" > \"$2.txt\"");
}

// A real engine: tesseract with the program folder's language data.
inline void installRealEngine() {
    QFile::remove(programFolder() + "/ocr.exe");
    const int rc = testing_support::runProgram(
        QString(LUMIDOC_SOURCE_DIR) + "/tools/layout-program-folder.sh", {programFolder()});
    ASSERT_EQ(rc, 0);
}

// WordPad stand-in: appends its arguments, one line per start.
inline void installWordPadRecorder(const QString& logHostPath) {
    const QString pad = programFolder() + "/wordpad.exe";
    QFile::remove(pad);
    writeScript(pad, "printf '%s\\n' \"$@\" >> '" + logHostPath + "'");
}

inline void removeWordPad() { QFile::remove(programFolder() + "/wordpad.exe"); }

// The dialog over a viewer whose page count and current page the test sets.
struct FakeViewer {
    long pageCount = -1;
    long currentPage = -1;
    frmOCR::Viewer viewer() {
        return {[this] { return pageCount; }, [this] { return currentPage; }};
    }
};

inline QStringList lines(const QString& hostPath) {
    QString text = QString::fromUtf8(readFile(hostPath));
    QStringList l = text.split('\n', Qt::SkipEmptyParts);
    return l;
}

// Resolution and layout of a TIFF file.
struct TiffInfo {
    bool ok = false;
    float xres = 0, yres = 0;
    uint16_t bits = 0, samples = 0;
    uint32_t width = 0, height = 0;
};
inline TiffInfo readTiff(const QString& hostPath) {
    TiffInfo info;
    TIFF* t = TIFFOpen(QFile::encodeName(hostPath).constData(), "r");
    if (!t) return info;
    info.ok = true;
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &info.xres);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &info.yres);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &info.bits);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &info.samples);
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &info.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &info.height);
    TIFFClose(t);
    return info;
}

// A folder with little room (at least one 4 KB page): a small file system of that size, where
// the test may mount one, else a limit on the size of every file this process and its children
// write (RLIMIT_FSIZE). errorText(): what a write beyond says.
class SmallDisk {
public:
    SmallDisk(const QString& hostFolder, qint64 room)
        : mounted_(hostFolder, "size=" + QByteArray::number(room)) {
        if (mounted_.ok()) {
            error_ = ENOSPC;
            return;
        }
        if (::getrlimit(RLIMIT_FSIZE, &saved_) == 0) {
            const rlimit small{rlim_t(room), saved_.rlim_max};
            if (::setrlimit(RLIMIT_FSIZE, &small) == 0) {
                oldSignal_ = ::signal(SIGXFSZ, SIG_IGN);
                error_ = EFBIG;
                return;
            }
        }
        skipReason_ = mounted_.reason() + ", and no file-size limit can be set: " +
                      QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk() {
        if (error_ != EFBIG) return;
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldSignal_);
    }
    const QString& skipReason() const { return skipReason_; }
    QString errorText() const { return QString::fromLocal8Bit(std::strerror(error_)); }

private:
    testing_support::SmallFileSystem mounted_;
    QString skipReason_;
    int error_ = 0;
    rlimit saved_{};
    sighandler_t oldSignal_ = SIG_DFL;
};

// One recognition setting: scratch drive C, a document at C:\docs\report.final.pdf, the output
// folder C:\out\ in path.ini, the stand-in engine and the WordPad recorder; room for one small
// disk inside drive C.
struct RunHarness {
    testing_support::ScratchDriveC drive;
    std::optional<SmallDisk> smallDisk;
    FakeViewer view;
    QString engineLog = drive.hostPath("engine.log");
    QString wordpadLog = drive.hostPath("wordpad.log");

    explicit RunHarness(int pages = 3, QSizeF pageSize = QSizeF(200, 60)) {
        QStringList words;
        for (int i = 1; i <= pages; ++i) words << QString("page %1").arg(i);
        if (pages > 0) makePdf(drive.hostPath("docs/report.final.pdf"), words, pageSize);
        DocPath = "C:\\docs\\report.final.pdf";
        DocPassword = "";
        view.pageCount = pages;
        view.currentPage = 1;
        setPathIni("C:\\out\\");
        installStandInEngine(engineLog);
        installWordPadRecorder(wordpadLog);
        StopRequested = false;
    }
    // The run starts WordPad and does not wait for it: its recorder must be done writing into
    // drive C before the drive goes, or the drive's folder stays with the log in it.
    ~RunHarness() {
        testing_support::waitUntil([] { return !win::isImageRunning("wordpad.exe"); }, 10000);
    }
    // Result files in C:\out\ (host paths).
    QStringList results(const QString& folder = "out") const {
        QStringList out;
        const QDir d(drive.hostPath(folder));
        for (const QString& n : d.entryList({"report-*.txt"}, QDir::Files)) out << d.filePath(n);
        return out;
    }
    QByteArray onlyResult() const {
        const QStringList r = results();
        EXPECT_EQ(r.size(), 1) << r.join(",").toStdString();
        return r.isEmpty() ? QByteArray() : readFile(r[0]);
    }
    QStringList engineCalls() const { return lines(engineLog); }
    // WordPad is not waited for: give the recorder a moment to write. `expected` starts are
    // waited for; with 0 a short while passes so a stray start would show.
    QStringList wordpadCalls(int expected = 1) const {
        if (expected == 0) {
            testing_support::waitUntil([] { return false; }, 300);
        } else {
            testing_support::waitUntil([&] { return lines(wordpadLog).size() >= expected; }, 20000);
        }
        return lines(wordpadLog);
    }
    bool pageFilesGone() const {
        return QDir(drive.hostPath("ocrtmp")).entryList(QDir::Files).isEmpty();
    }
};

inline QByteArray bom() { return QByteArray("\xEF\xBB\xBF"); }

// Shows the dialog and runs it over all pages.
inline void runAllPages(frmOCR& f) {
    f.show();
    f.Option3->click();
    f.cmdStart->click();
}

// After a run that a failure ended: no WordPad, the dialog open and idle, no page file left.
inline void expectLeftOpenAndIdle(const RunHarness& h, const frmOCR& f) {
    EXPECT_TRUE(h.wordpadCalls(0).isEmpty());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.cmdStart->text(), "Start");
    EXPECT_TRUE(f.cmdStart->isEnabled());
    EXPECT_FALSE(f.running());
    EXPECT_TRUE(h.pageFilesGone());
}

// A run that ended at a page that did not make it into the result: one message naming the page
// and why, then `rest` (the pages not processed, what was saved) and the result's path.
inline void expectNotCompleted(const RunHarness& h, const frmOCR& f, const forms::ScriptedUi& ui,
                               const QString& failure, const QString& rest) {
    const QString outFile = "C:\\out\\" + QFileInfo(h.results().value(0)).fileName();
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "OCR Not Completed.\r\n" + failure + "\r\n" + rest + outFile);
    EXPECT_EQ(ui.shown[0].title, "Not Completed");
    EXPECT_EQ(ui.shown[0].style, forms::vbCritical);
    expectLeftOpenAndIdle(h, f);
}

}  // namespace recognition_test
