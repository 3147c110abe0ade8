// Conversion run benchmark host.
//   folipress_bench make FOLDER N         makes N A4 scans (2480 x 3508 JPEG) in FOLDER
//   folipress_bench run FOLDER N QUALITY  converts the first N of them through the main window's
//                                         run and prints one "key value" line per measure
// The run is timed by its stages as the status label shows them: pages made ("Preparing
// Files..."), then pdftk joining and updating ("Now Start Creating..." to the end). The image
// conversion inside page making is timed again on its own with the same calls, so page writing
// is what remains.
#include <FreeImage.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <random>

#include "FreeImageBinding.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "forms/Shell.h"
#include "frmPrinting.h"
#include "win/WinPath.h"

namespace {

QString scanName(const QString& folder, int i) { return folder + QString("/scan%1.jpg").arg(i, 2, 10, QChar('0')); }

// A page of "text": dark strokes in lines on paper-white with a little sensor noise.
bool makeScan(const QString& path, int seed) {
    const int w = 2480, h = 3508;
    FIBITMAP* dib = FreeImage_Allocate(w, h, 24);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    std::uniform_int_distribution<int> word(40, 260);
    for (int y = 0; y < h; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib, h - 1 - y);
        const int row = (y - 300) % 70;
        const bool textBand = y > 300 && y < h - 300 && row > 10 && row < 44;
        int x = 0;
        while (x < w) {
            const int len = word(rng);
            const bool ink = textBand && x > 250 && x < w - 250 && ((x / 13 + y / 7 + seed) % 5 != 0);
            for (int k = 0; k < len && x < w; ++k, ++x) {
                const int base = ink && (k < len - 30) && ((k / 3 + row) % 4 != 0) ? 40 : 245;
                const int v = std::clamp(base + noise(rng), 0, 255);
                line[3 * x + 0] = BYTE(v);
                line[3 * x + 1] = BYTE(v);
                line[3 * x + 2] = BYTE(std::min(255, v + 3));
            }
        }
    }
    const bool ok = FreeImage_Save(FIF_JPEG, dib, path.toLocal8Bit().constData(), 85) == TRUE;
    FreeImage_Unload(dib);
    return ok;
}

long maxRssKb(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    FreeImage_Initialise(FALSE);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "make") {
        QDir().mkpath(args[2]);
        for (int i = 0; i < args[3].toInt(); ++i) {
            if (!makeScan(scanName(args[2], i), i)) return 1;
        }
        return 0;
    }
    if (args.size() < 5 || args[1] != "run") {
        std::fprintf(stderr, "usage: folipress_bench make FOLDER N | run FOLDER N QUALITY\n");
        return 2;
    }
    const QString folder = args[2];
    const int n = args[3].toInt();
    const int quality = args[4].toInt();

    // Drive C, the instance lock and a program folder of its own (the run writes its settings
    // there), with the build's pdftk.exe.
    // The runtime folder outlives the instance lock, which is let go at the very end.
    static QTemporaryDir runtime;
    QTemporaryDir driveC;
    QTemporaryDir programFolder;
    qputenv("LUMIDOC_DRIVE_C", driveC.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QFile::copy(QStringLiteral(LUMIDOC_PROGRAM_DIR "/pdftk.exe"), programFolder.path() + "/pdftk.exe");
    forms::App::setPathOverride(win::fromHostPath(programFolder.path()));
    forms::ScriptedUi ui;
    forms::RecordingShell shell;

    frmPrinting w;
    w.Form_Load();
    w.txtTitle->setText("Bench");
    w.Slider1->setValue(quality);
    qint64 inputBytes = 0;
    for (int i = 0; i < n; ++i) {
        const QString p = scanName(folder, i);
        inputBytes += QFileInfo(p).size();
        w.List1->addItem(win::fromHostPath(p));
        w.List2->addItem(win::fromHostPath(p));
    }

    QElapsedTimer clock;
    qint64 joinStart = -1;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (joinStart < 0 && w.lblPB->text() == "Now Start Creating...") joinStart = clock.elapsed();
    });
    sampler.start(0);
    clock.start();
    w.Command3_Click();
    const qint64 total = clock.elapsed();
    sampler.stop();
    const long rssRun = maxRssKb(RUSAGE_SELF);

    if (!ui.shown.isEmpty()) {
        std::fprintf(stderr, "the run showed: %s\n", qPrintable(ui.shown.first().prompt));
        return 1;
    }
    const QString out = driveC.path() + "/output/Bench.pdf";

    // The image conversion alone, as the run does it.
    QElapsedTimer conv;
    conv.start();
    for (int i = 0; i < n; ++i) {
        FreeImageBinding::ConvertToBmp(FreeImageBinding::kJpeg, win::fromHostPath(scanName(folder, i)),
                                       "c:\\tmp\\tmp.bmp");
    }
    const qint64 convertMs = conv.elapsed();
    const qint64 pagesMs = joinStart < 0 ? total : joinStart;

    std::printf("pages %d\n", n);
    std::printf("quality %d\n", quality);
    std::printf("total_s %.3f\n", total / 1000.0);
    std::printf("convert_s_per_page %.3f\n", convertMs / 1000.0 / n);
    std::printf("write_s_per_page %.3f\n", std::max<qint64>(0, pagesMs - convertMs) / 1000.0 / n);
    std::printf("pdftk_s_per_page %.3f\n", (total - pagesMs) / 1000.0 / n);
    std::printf("peak_rss_mb %.1f\n", rssRun / 1024.0);
    std::printf("peak_child_rss_mb %.1f\n", maxRssKb(RUSAGE_CHILDREN) / 1024.0);
    std::printf("input_bytes %lld\n", static_cast<long long>(inputBytes));
    std::printf("output_bytes %lld\n", static_cast<long long>(QFileInfo(out).size()));
    std::printf("output_file %s\n", qPrintable(out));
    // Keep the result for the caller to compare.
    if (args.size() >= 6) {
        QFile::remove(args[5]);
        QFile::copy(out, args[5]);
    }
    return QFileInfo(out).size() > 0 ? 0 : 1;
}
