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
#include <QProcess>

#include <gtest/gtest.h>

#include <tiffio.h>

#include "TestSupport.h"
#include "frmOCR.h"
#include "win/WinPath.h"

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

// An engine stand-in: writes "page <base name>" as the page text and records its arguments.
// `extra` runs first (it may exit to play an engine that writes nothing).
inline void installStandInEngine(const QString& logHostPath, const QString& extra = QString()) {
    const QString ocr = programFolder() + "/ocr.exe";
    QFile::remove(ocr);
    writeScript(ocr, "printf '%s|' \"$@\" >> '" + logHostPath + "'; echo >> '" + logHostPath +
                         "'\n" + extra + "\nprintf 'page %s\\n' \"$(basename \"$2\")\" > \"$2.txt\"");
}

// A real engine: tesseract with the program folder's language data.
inline void installRealEngine() {
    QFile::remove(programFolder() + "/ocr.exe");
    const int rc = QProcess::execute(
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

}  // namespace recognition_test
