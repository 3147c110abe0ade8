// Times a 10-page document through the whole recognition run, stage by stage, and the page
// renderer against pdftoppm; with --huge-page, the peak memory and time of opening and
// recognising a 593-byte document whose one page is 200 x 200 inches (run in a process of its
// own, so that its peak is its own). It runs from a copy of the program folder (run.sh makes
// it, with the engine laid out), since it puts a timing wrapper around the engine there.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "PDFView.h"
#include "ProgramVariables.h"
#include "forms/MessageBox.h"
#include "frmOCR.h"
#include "pdfrender/PageRenderer.h"
#include "win/WinPath.h"

namespace {

const int kPages = 10;

void makeDocument(const QString& path) {
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    QFont font("DejaVu Serif");
    font.setPixelSize(12);
    painter.setFont(font);
    const QString line =
        "The quick brown fox jumps over the lazy dog while the harbour lanterns glow %1.";
    for (int p = 1; p <= kPages; ++p) {
        if (p > 1) writer.newPage();
        painter.drawText(72, 60, QString("Page %1").arg(p));
        for (int l = 0; l < 40; ++l) painter.drawText(72, 90 + l * 16, line.arg(p * 100 + l));
    }
}

void writeScript(const QString& path, const QString& body) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(("#!/bin/bash\n" + body + "\n").toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
double sum(const std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x;
    return s;
}

double mean(const std::vector<double>& v) { return v.empty() ? 0 : sum(v) / double(v.size()); }

// Wall-clock milliseconds, to the microsecond, on the same clock as the engine wrapper's.
double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// What the run showed last, for a run that did not complete.
QString runMessage(const forms::ScriptedUi& ui) {
    if (ui.shown.isEmpty()) return "the run showed no message";
    return "the run said \"" + ui.shown.last().title + ": " +
           QString(ui.shown.last().prompt).replace("\r\n", " | ") + "\"";
}

// Measuring stops: why, and a non-zero exit.
int cannotMeasure(const QString& why) {
    std::fprintf(stderr, "cannot measure: %s\n", qPrintable(why));
    return 1;
}

double peakMB(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The document of 200 x 200 inches opened as the viewer window does it (an 800 x 600 viewer,
// shown at 100 % first, then fitted to the width), shown at the highest zoom on the way, and
// its page recognised.
int hugePage(const QString& drive) {
    QDir().mkpath(drive + "/bench");
    QFile::remove(drive + "/bench/huge.pdf");
    if (!QFile::copy(LUMIDOC_HUGE_PAGE_PDF, drive + "/bench/huge.pdf"))
        return cannotMeasure(QString("%1 cannot be copied to drive C").arg(LUMIDOC_HUGE_PAGE_PDF));
    DocPath = "C:\\bench\\huge.pdf";
    DocPassword = "";
    QElapsedTimer t;
    t.start();
    PDFView view;
    view.resize(800, 600);
    view.show();
    view.OpenDocument(DocPath, DocPassword);
    view.grab();
    view.setZoomFactor(PDFView::kMaxZoom);
    view.grab();
    view.SetLayoutMode(1);
    view.FitToWidth();
    view.grab();
    const double openMs = t.nsecsElapsed() / 1e6;
    const double openPeak = peakMB(RUSAGE_SELF);

    forms::ScriptedUi ui;
    frmOCR f(&view);
    t.restart();
    f.cmdStart->click();
    const double runMs = t.nsecsElapsed() / 1e6;
    const double peak = peakMB(RUSAGE_SELF), enginePeak = peakMB(RUSAGE_CHILDREN);

    QTextStream out(stdout);
    out << "A 593-byte document with one page of 200 x 200 inches (an 800 x 600 viewer)\n";
    out << QString("  open, show at 100 %, 1600 %, fit width  %1 ms   peak memory %2 MB\n")
               .arg(openMs, 8, 'f', 0)
               .arg(openPeak, 0, 'f', 0);
    out << QString("  recognise the page                      %1 ms   peak memory %2 MB (ours), "
                   "%3 MB (engine)\n")
               .arg(runMs, 8, 'f', 0)
               .arg(peak, 0, 'f', 0)
               .arg(enginePeak, 0, 'f', 0);
    const bool met = openMs + runMs < 5000 && peak < 500 && enginePeak < 500;
    out << QString("  target: under 5 s and 500 MB together: %1\n").arg(met ? "met" : "OVER");
    out << "  run's message: " << QString(ui.shown.value(0).prompt).replace("\r\n", " | ") << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir drive;
    // Marked as the suite's own before the document goes in, so the run takes it as drive C.
    QFile mark(drive.path() + "/" + win::kDriveCMark);
    if (!mark.open(QIODevice::WriteOnly))
        return cannotMeasure("drive C cannot be marked: " + mark.errorString());
    mark.close();
    qputenv("LUMIDOC_DRIVE_C", drive.path().toLocal8Bit());
    const QString folder = QCoreApplication::applicationDirPath();
    if (!QFile::exists(folder + "/bench-copy") ||
        (!QFile::exists(folder + "/ocr.exe") && !QFile::exists(folder + "/ocr-engine"))) {
        std::fprintf(stderr,
                     "%s is no benchmark copy of a program folder: run bench/recognition/run.sh\n",
                     qPrintable(folder));
        return 1;
    }
    // The engine behind a wrapper that logs when it starts and ends (shell built-ins only, so
    // that the wrapper itself costs next to nothing).
    if (!QFile::exists(folder + "/ocr-engine"))
        QFile::rename(folder + "/ocr.exe", folder + "/ocr-engine");
    const QString engineLog = drive.path() + "/engine.log";
    writeScript(folder + "/ocr.exe",
                "s=$EPOCHREALTIME; \"${0%/*}/ocr-engine\" \"$@\" >/dev/null 2>&1; "
                "e=$EPOCHREALTIME; echo \"$s $e\" >> '" +
                    engineLog + "'");
    writeScript(folder + "/wordpad.exe", "exit 0");
    QFile ini(folder + "/path.ini");
    ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ini.write("C:\\out\\\r\n");
    ini.close();
    if (QCoreApplication::arguments().contains("--huge-page")) return hugePage(drive.path());

    QDir().mkpath(drive.path() + "/bench");
    const QString docHost = drive.path() + "/bench/sample.pdf";
    makeDocument(docHost);
    DocPath = "C:\\bench\\sample.pdf";
    DocPassword = "";

    // The whole run, all pages.
    forms::ScriptedUi ui;
    frmOCR f(frmOCR::Viewer{[] { return long(kPages); }, [] { return 1L; }});
    f.Option3->click();
    // --show: the dialog on screen during the run (to look at it).
    if (QCoreApplication::arguments().contains("--show")) f.show();
    std::vector<std::vector<double>> marks;  // per page: times of PBS 25, 50, 75, 100
    QObject::connect(f.PBS, &QProgressBar::valueChanged, [&](int v) {
        if (v == 25) marks.push_back({});
        if (v > 0 && !marks.empty()) marks.back().push_back(nowMs());
    });
    const double start = nowMs();
    f.cmdStart->click();
    const double total = nowMs() - start;

    std::vector<double> engineStart, engineEnd;
    QFile log(engineLog);
    const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    for (const QByteArray& l : logged.split('\n')) {
        const QList<QByteArray> t = l.split(' ');
        if (t.size() != 2) continue;
        // Seconds with the locale's decimal mark.
        engineStart.push_back(QByteArray(t[0]).replace(',', '.').toDouble() * 1000);
        engineEnd.push_back(QByteArray(t[1]).replace(',', '.').toDouble() * 1000);
    }
    if (int(marks.size()) != kPages || int(engineStart.size()) != kPages)
        return cannotMeasure(QString("run incomplete: %1 pages marked, %2 engine runs; %3")
                                 .arg(marks.size())
                                 .arg(engineStart.size())
                                 .arg(runMessage(ui)));
    // Per page, from its start (PBS 25) to the next page's start (the last to the run's end):
    // the engine, the 500 ms pause, and ours: rendering (25 to 50), the engine's end to the
    // pause (the runner's polling and the text check), and the rest (engine start, text
    // appending, clean-up, opening the document).
    std::vector<double> render, engine, page, overhead, poll, rest;
    for (int i = 0; i < kPages; ++i) {
        const auto& m = marks[i];
        if (m.size() < 4)
            return cannotMeasure(QString("page %1: progress marks missing").arg(i + 1));
        const double pageEnd = i + 1 < kPages ? marks[i + 1][0] : start + total;
        render.push_back(m[1] - m[0]);
        engine.push_back(engineEnd[i] - engineStart[i]);
        page.push_back(pageEnd - m[0]);
        overhead.push_back(page.back() - engine.back() - 500);
        poll.push_back(m[3] - 500 - engineEnd[i]);
        rest.push_back(overhead.back() - render.back() - poll.back());
    }

    // The renderer against pdftoppm, page by page at 300 dpi in grey, and the whole document.
    const QString work = drive.path() + "/render";
    QDir().mkpath(work);
    std::vector<double> ours, theirs;
    for (int p = 1; p <= kPages; ++p) {
        QElapsedTimer t;
        t.start();
        const int h = pdfrender::OpenPDF(DocPath, "");
        const int exported = pdfrender::ExportTIF(h, "C:\\render\\", "", 300, 300, p, p, nullptr,
                                                  pdfrender::kTifGrey, pdfrender::kTifUncompressed);
        pdfrender::ClosePDF(h);
        ours.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        const int ppm =
            QProcess::execute("pdftoppm", {"-r", "300", "-tiff", "-gray", "-f", QString::number(p),
                                           "-l", QString::number(p), docHost, work + "/ppm"});
        theirs.push_back(t.nsecsElapsed() / 1e6);
        if (exported < 0)
            return cannotMeasure(QString("the renderer did not write page %1").arg(p));
        if (ppm != 0)
            return cannotMeasure(QString("pdftoppm failed on page %1 (%2)").arg(p).arg(ppm));
    }
    QElapsedTimer t;
    t.start();
    const int h = pdfrender::OpenPDF(DocPath, "");
    const int exported =
        pdfrender::ExportTIF(h, "C:\\render\\", "all", 300, 300, 1, kPages, nullptr,
                             pdfrender::kTifGrey, pdfrender::kTifUncompressed);
    pdfrender::ClosePDF(h);
    const double oursAll = t.nsecsElapsed() / 1e6;
    t.restart();
    const int ppm =
        QProcess::execute("pdftoppm", {"-r", "300", "-tiff", "-gray", docHost, work + "/all"});
    const double theirsAll = t.nsecsElapsed() / 1e6;
    if (exported < 0) return cannotMeasure("the renderer did not write the document");
    if (ppm != 0) return cannotMeasure(QString("pdftoppm failed on the document (%1)").arg(ppm));

    QTextStream out(stdout);
    out << "Recognition run, " << kPages << " US Letter pages at 300 dpi, all pages\n";
    out << QString("  total run                      %1 ms\n").arg(total, 8, 'f', 0);
    out << QString("  inside the engine (sum)        %1 ms   median per page %2 ms\n")
               .arg(sum(engine), 8, 'f', 0)
               .arg(median(engine), 0, 'f', 0);
    out << QString("  render per page (in the run)   median %1 ms   sum %2 ms\n")
               .arg(median(render), 0, 'f', 1)
               .arg(sum(render), 0, 'f', 0);
    out << QString("  page time                      median %1 ms\n").arg(median(page), 0, 'f', 0);
    out << QString("  pause after the text           500 ms per page (%1 ms in all)\n")
               .arg(500 * kPages);
    out << QString("  engine end to pause (polling)  median %1 ms\n").arg(median(poll), 0, 'f', 1);
    out << "  our overhead per page beyond the engine and the pause, ms (mean = the parts' sum)\n";
    out << QString("    %1 %2 %3 %4 %5\n")
               .arg("", -8)
               .arg("total", 8)
               .arg("render", 8)
               .arg("engine end to pause", 20)
               .arg("the rest", 10);
    using Statistic = std::function<double(const std::vector<double>&)>;
    for (const auto& [label, of] : {std::pair<const char*, Statistic>{"mean", mean}, {"median", median}}) {
        out << QString("    %1 %2 %3 %4 %5\n")
                   .arg(label, -8)
                   .arg(of(overhead), 8, 'f', 1)
                   .arg(of(render), 8, 'f', 1)
                   .arg(of(poll), 20, 'f', 1)
                   .arg(of(rest), 10, 'f', 1);
    }
    out << QString("    target: mean total at most 70 ms per page: %1\n")
               .arg(mean(overhead) <= 70 ? "met" : "OVER");
    out << "Renderer against pdftoppm -r 300 -tiff -gray\n";
    out << QString(
               "  per page, open+render+write     ours median %1 ms   pdftoppm median %2 ms   "
               "ratio %3\n")
               .arg(median(ours), 0, 'f', 1)
               .arg(median(theirs), 0, 'f', 1)
               .arg(median(ours) / median(theirs), 0, 'f', 2);
    out << QString("  whole document in one call      ours %1 ms   pdftoppm %2 ms   ratio %3\n")
               .arg(oursAll, 0, 'f', 0)
               .arg(theirsAll, 0, 'f', 0)
               .arg(oursAll / theirsAll, 0, 'f', 2);
    out << "  result: " << ui.shown.value(0).prompt.section('\n', -1) << "\n";
    return 0;
}
