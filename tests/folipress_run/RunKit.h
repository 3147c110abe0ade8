#pragma once
// Shared pieces of the conversion and start-up tests: pictures made with FreeImage, a program
// folder with the real pdftk behind pdftk.exe, and pdfinfo to read the results back.
#include <FreeImage.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TestSupport.h"
#include "forms/App.h"
#include "win/WinPath.h"

namespace runkit {

inline void initImages() {
    static const bool ready = [] {
        FreeImage_Initialise(FALSE);
        return true;
    }();
    (void)ready;
}

// A picture of w x h pixels in one colour, saved in the given format with the library's save
// flags (by default JPEG quality 90, else none). `bits` 48 makes a 16-bit-per-channel picture,
// 8 a paletted one.
inline bool makePicture(const QString& hostPath, FREE_IMAGE_FORMAT fif, int w, int h,
                        int bits = 24, int flags = -1) {
    const BYTE r = 40, g = 120, b = 200;
    initImages();
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    FIBITMAP* dib = nullptr;
    if (bits == 48) {
        dib = FreeImage_AllocateT(FIT_RGB16, w, h);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(dib, y));
            for (int x = 0; x < w; ++x) line[x] = {WORD(r * 257), WORD(g * 257), WORD(b * 257)};
        }
    } else {
        dib = FreeImage_Allocate(w, h, 24);
        for (int y = 0; y < h; ++y) {
            BYTE* line = FreeImage_GetScanLine(dib, y);
            for (int x = 0; x < w; ++x) {
                // A little texture so JPEG sizes depend on the quality.
                const int d = ((x / 4 + y / 4) % 2) * 30;
                line[3 * x + FI_RGBA_RED] = BYTE(std::min(255, r + d));
                line[3 * x + FI_RGBA_GREEN] = BYTE(std::min(255, g + d));
                line[3 * x + FI_RGBA_BLUE] = BYTE(std::min(255, b + d));
            }
        }
        if (bits == 8 || fif == FIF_GIF) {
            FIBITMAP* pal = FreeImage_ColorQuantize(dib, FIQ_WUQUANT);
            FreeImage_Unload(dib);
            dib = pal;
        }
    }
    const bool ok = FreeImage_Save(fif, dib, hostPath.toLocal8Bit().constData(),
                                   flags >= 0 ? flags : fif == FIF_JPEG ? 90 : 0) == TRUE;
    FreeImage_Unload(dib);
    return ok;
}

// What pdfinfo reports: the information entries, "Pages", and "Page N size" as "w x h" points.
inline QMap<QString, QString> pdfInfo(const QString& hostPath) {
    QProcess p;
    p.start("pdfinfo", {"-rawdates", "-enc", "UTF-8", "-f", "1", "-l", "999", hostPath});
    p.waitForFinished(20000);
    QMap<QString, QString> out;
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression line(QStringLiteral("^([^:]+):\\s*(.*)$"));
    for (const QString& l : text.split('\n')) {
        const auto m = line.match(l);
        if (!m.hasMatch()) continue;
        QString key = m.captured(1).simplified();
        QString value = m.captured(2);
        if (key.startsWith("Page ") && key.endsWith(" size")) {
            static const QRegularExpression size(QStringLiteral("^([0-9.]+) x ([0-9.]+) pts"));
            const auto s = size.match(value);
            if (s.hasMatch()) value = s.captured(1) + " x " + s.captured(2);
        }
        out[key] = value.trimmed();
    }
    return out;
}

// The images of a document as pdfimages lists them, one "colour components encoding" a page
// image ("gray 1 jpeg").
inline QStringList pdfImages(const QString& hostPath) {
    QProcess p;
    p.start("pdfimages", {"-list", hostPath});
    p.waitForFinished(20000);
    QStringList out;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    for (const QString& l : lines.mid(2)) {
        const QStringList f = l.simplified().split(' ');
        if (f.size() > 8) out << f[5] + " " + f[6] + " " + f[8];
    }
    return out;
}

// Width and height in points of page n (1-based).
inline std::pair<double, double> pageSize(const QMap<QString, QString>& info, int n) {
    const QStringList wh = info.value(QStringLiteral("Page %1 size").arg(n)).split(" x ");
    if (wh.size() != 2) return {-1, -1};
    return {wh[0].toDouble(), wh[1].toDouble()};
}

// Points of a page side given in tenths of a millimetre.
inline double points(int tenthMillimetres) { return tenthMillimetres * 72.0 / 254.0; }

// The page side the run gives a picture side of `pixels`.
inline int pageTenths(int pixels) { return int(std::nearbyint(pixels / 0.376)); }

// A program folder of its own holding pdftk.exe (the real pdftk) and the picture decoder the
// build made, in force for the test's life.
class ProgramFolder {
public:
    explicit ProgramFolder(bool withPdftk = true) {
        if (withPdftk) {
            testing_support::writeScript(dir_.path() + "/pdftk.exe", "exec -a pdftk.exe pdftk \"$@\"");
        }
        testing_support::linkBuiltProgram(dir_.path(), "folipress-decoder");
        forms::App::setPathOverride(win::fromHostPath(dir_.path()));
    }
    ~ProgramFolder() { forms::App::setPathOverride(QString()); }
    QString hostPath(const QString& name = QString()) const {
        return name.isEmpty() ? dir_.path() : dir_.path() + "/" + name;
    }

private:
    QTemporaryDir dir_;
};

// Each test process takes the one-instance lock in a runtime folder of its own, so tests of
// one executable may run side by side.
inline void privateRuntimeFolder() {
    static QTemporaryDir dir;
    static const bool set = [] {
        qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
        return true;
    }();
    (void)set;
}

// The test program's own memory (resident), in MB: now, or at its peak since the last reset.
inline long residentMegabytes(const char* field = "VmRSS:") {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(6)) / 1024;
    return -1;
}
inline long peakMegabytes() { return residentMegabytes("VmHWM:"); }
// Starts a new peak from the memory now, and returns that.
inline long resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return residentMegabytes();
}

// What the program's ending does in tests: unwinds out of the handler that ended it.
struct ProgramEnded {
    int exitCode;
};

}  // namespace runkit
