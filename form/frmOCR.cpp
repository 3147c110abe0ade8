#include "frmOCR.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <memory>

#include "DOSOutputs.h"
#include "GetFile.h"
#include "Module1.h"
#include "ProgramVariables.h"
#include "clsWaitableTimer.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "forms/SequentialFile.h"
#include "pdfrender/PageRenderer.h"
#include "pdftox.h"
#include "win/CodePage.h"
#include "win/CommandLine.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/Process.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

using win::skipOnError;

namespace {

const char* const kWorkFolder = "c:\\ocrtmp\\";

// How long the run waits for a page's text once the engine has gone. The engine writes its text
// before it ends, so the file is normally there at once; one that ended without writing it
// (no image, wrong password, unknown language) must not hold the run.
constexpr int kPageTextGraceMs = 1000;

// What the engine may write for a page's output base: the text our command line asks for, and
// what its other output forms write, which a language's own settings can switch on.
const char* const kEngineOutputs[] = {".txt", ".hocr", ".tsv",   ".pdf",     ".xml",
                                      ".box", ".unlv", ".lstmf", ".page.xml"};

struct Language {
    const char* name;
    const char* code;
};
const Language kLanguages[] = {
    {"English", "eng"},        {"French", "fra"},  {"German", "deu"},
    {"Fraktur(Old German)", "deu-f"}, {"Italian", "ita"}, {"Dutch", "nld"},
    {"Spanish", "spa"},        {"Portuguese", "Por"}, {"Basque", "eus"},
    {"Other Languages", " "},
};

// Page number as the work files carry it: at least four digits.
QString pageDigits(long page) { return QStringLiteral("%1").arg(page, 4, 10, QLatin1Char('0')); }

// A range box's text as a whole number, halves to even; false when it is no number. Page
// numbers are 32-bit here, so documents beyond 32767 pages can be named.
bool toPageNumber(const QString& text, int& value) {
    bool ok = false;
    const double d = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(d)) return false;
    return skipOnError([&] { value = win::roundToInt32(d); });
}

// The runtime's pseudo-random sequence: not seeded from the clock, so it repeats at every start.
double nextRandom() {
    static quint32 seed = 327680;
    seed = (seed * 1140671485u + 12820163u) & 0xFFFFFFu;
    return double(seed) / 16777216.0;
}

short percent(double part, double whole) {
    short v = 0;
    if (whole == 0) return v;
    skipOnError([&] { v = win::roundToInt16(part / whole * 100.0); });
    return v > 100 ? 100 : v;
}

QString systemError(int error) { return win::systemErrorText(error); }

// Writes all bytes at the descriptor's position; the system's reason when it cannot.
QString writeAll(int fd, const char* data, qint64 size) {
    const int error = win::writeAll(fd, data, size);
    return error ? systemError(error) : QString();
}

QString closeFile(int fd) { return ::close(fd) == 0 ? QString() : systemError(errno); }

// Starts the result: its first three bytes become the byte-order mark, an existing file keeps
// the rest of its content. A file made here that cannot take the mark is removed again.
QString startResult(const QString& winPath) {
    int error = 0;
    bool made = false;
    int fd = win::openFile(winPath, O_WRONLY, error);
    if (fd < 0 && error == ENOENT) {
        fd = win::openFile(winPath, O_WRONLY | O_CREAT | O_EXCL, error);
        made = fd >= 0;
    }
    if (fd < 0) return systemError(error);
    QString why = writeAll(fd, "\xEF\xBB\xBF", 3);
    const QString closed = closeFile(fd);
    if (why.isEmpty()) why = closed;
    if (!why.isEmpty() && made) skipOnError([&] { win::killFile(winPath); });
    return why;
}

// Appends a page's text to the result. A page that does not fit whole is taken out again, so
// the result holds whole pages only.
QString appendToResult(const QString& winPath, const QByteArray& bytes) {
    int error = 0;
    const int fd = win::openFile(winPath, O_WRONLY | O_APPEND, error);
    if (fd < 0) return systemError(error);
    struct stat before;
    const bool sized = ::fstat(fd, &before) == 0;
    QString why = writeAll(fd, bytes.constData(), bytes.size());
    if (!why.isEmpty() && sized) (void)::ftruncate(fd, before.st_size);
    const QString closed = closeFile(fd);
    return why.isEmpty() ? closed : why;
}

// Reads a page's text whole.
QString readPageText(const QString& winPath, QByteArray& bytes) {
    int error = 0;
    const int fd = win::openFile(winPath, O_RDONLY, error);
    if (fd < 0) return systemError(error);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) ::close(fd);
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? QString() : file.errorString();
}

// The last line the engine printed, for a message.
QString lastLine(const QString& output) {
    const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const QString line = it->trimmed();
        if (!line.isEmpty()) return line.left(200);
    }
    return QString();
}

}  // namespace

struct frmOCR::Run {
    QString OutFile;
    short resolution = 0;
    // The engine could not be started: the run ends at that page; the runner has said so.
    bool engineFailed = false;
    // The page that did not make it into the result and why ("could not be opened: ..."); the
    // run ends there.
    int failedPage = 0;
    QString failure;
    int lastPage = 0;   // of the scope
    int pagesDone = 0;  // in the result
    // Created at the first pause, kept until the click returns.
    std::unique_ptr<clsWaitableTimer> pause;
};

frmOCR::frmOCR(Viewer viewer, QWidget* parent) : QDialog(parent), viewer_(std::move(viewer)) {
    buildControls();
    Form_Load();
}

frmOCR::~frmOCR() = default;

void frmOCR::buildControls() {
    setWindowTitle("OCR");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    // Without Tahoma, a condensed face keeps the captions inside their designed widths.
    QFont tahoma;
    tahoma.setFamilies({"Tahoma", "DejaVu Sans Condensed", "Liberation Sans Narrow"});
    tahoma.setPointSizeF(9);
    setFont(tahoma);

    const double tx = forms::App::twipsPerPixelX();
    const double ty = forms::App::twipsPerPixelY();
    auto place = [&](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(qRound(left / tx), qRound(top / ty), qRound(width / tx), qRound(height / ty));
    };
    // Labels grow to their text, so a wider desktop font never cuts a caption off.
    auto placeLabel = [&](QLabel* l, int left, int top, int width, int height) {
        place(l, left, top, width, height);
        l->setMinimumWidth(qMax(l->width(), l->sizeHint().width()));
        l->resize(qMax(l->width(), l->sizeHint().width()), l->height());
    };
    setFixedSize(qRound(4845 / tx), qRound(4980 / ty));

    Option1 = new QRadioButton("OCR Current Page", this);
    place(Option1, 270, 120, 1815, 285);
    Option2 = new QRadioButton("OCR Page Range", this);
    place(Option2, 270, 600, 1725, 285);
    Label1 = new QLabel("From", this);
    placeLabel(Label1, 2190, 630, 495, 285);
    txtStart = new QLineEdit("1", this);
    place(txtStart, 2760, 600, 615, 345);
    Label2 = new QLabel("To", this);
    placeLabel(Label2, 3450, 660, 345, 285);
    txtEnd = new QLineEdit("1", this);
    place(txtEnd, 3870, 600, 615, 345);
    Option3 = new QRadioButton("OCR All Pages", this);
    place(Option3, 270, 1080, 1485, 285);
    Label3 = new QLabel("Language:", this);
    placeLabel(Label3, 330, 1560, 855, 210);
    cmbLan = new QComboBox(this);
    cmbLan->setEditable(false);
    place(cmbLan, 1530, 1530, 3045, 330);
    PBr = new QProgressBar(this);
    place(PBr, 180, 2010, 4365, 375);
    lblP = new QLabel("-", this);
    QFont verdana;
    verdana.setFamilies({"Verdana", "DejaVu Sans"});
    verdana.setPointSizeF(9);
    lblP->setFont(verdana);
    place(lblP, 240, 2400, 75, 210);
    lblP->resize(qMax(lblP->width(), lblP->fontMetrics().horizontalAdvance("\\|/-") ), lblP->height());
    PBS = new QProgressBar(this);
    place(PBS, 180, 2670, 4365, 375);
    lblS = new QLabel("Status: ", this);
    // The stage and page labels size to their texts: they reach to the right edge.
    place(lblS, 180, 3090, 4845 - 180, 210);
    pb = new QProgressBar(this);
    place(pb, 180, 3450, 4365, 375);
    lblPage = new QLabel("Processed: ", this);
    place(lblPage, 180, 3900, 4845 - 180, 210);
    cmdStart = new QPushButton("Start", this);
    place(cmdStart, 930, 4290, 1335, 465);
    cmdCancel = new QPushButton("Cancel", this);
    place(cmdCancel, 2340, 4290, 1335, 465);
    List1 = new QListWidget(this);
    place(List1, 4050, 4170, 735, 690);
    List1->hide();
    for (const Language& l : kLanguages) {
        cmbLan->addItem(QString::fromLatin1(l.name));
        List1->addItem(QString::fromLatin1(l.code));
    }
    for (QProgressBar* bar : {PBr, PBS, pb}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    txtStart->setEnabled(false);
    txtEnd->setEnabled(false);
    Option1->setChecked(true);
    cmdStart->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    timerDel = new QTimer(this);
    timerDel->setInterval(1000);

    connect(Option1, &QRadioButton::toggled, this, [this](bool on) { if (on) Option1_Click(); });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) { if (on) Option2_Click(); });
    connect(Option3, &QRadioButton::toggled, this, [this](bool on) { if (on) Option3_Click(); });
    connect(cmdStart, &QPushButton::clicked, this, &frmOCR::cmdStart_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOCR::cmdCancel_Click);
    connect(Timer1, &QTimer::timeout, this, &frmOCR::Timer1_Timer);
    connect(timerDel, &QTimer::timeout, this, &frmOCR::timerDel_Timer);
}

void frmOCR::Form_Load() {
    objShell = new DOSOutputs(this);
    intInterval = 100;
    cmbLan->setCurrentIndex(0);
    intBarValue = 0;
    skipOnError([] { win::makeFolder("c:\\OCRtmp"); });
    if (LangIndex >= 0 && LangIndex < cmbLan->count()) cmbLan->setCurrentIndex(LangIndex);
}

void frmOCR::Option1_Click() {
    txtStart->setEnabled(false);
    txtEnd->setEnabled(false);
}

void frmOCR::Option2_Click() {
    txtStart->setEnabled(true);
    txtEnd->setEnabled(true);
}

void frmOCR::Option3_Click() {
    txtStart->setEnabled(false);
    txtEnd->setEnabled(false);
}

void frmOCR::cmdCancel_Click() { close(); }

void frmOCR::closeEvent(QCloseEvent* event) {
    // A completed run's work folder is left to the program's own clean-up, and a closed dialog
    // animates nothing.
    timerDel->stop();
    Timer1->stop();
    if (running_) closeRequested_ = true;
    QDialog::closeEvent(event);
}

void frmOCR::reject() {
    // Escape takes the same road as the close box.
    if (running_) closeRequested_ = true;
    timerDel->stop();
    Timer1->stop();
    QDialog::reject();
}

void frmOCR::Timer1_Timer() {
    ++intSpinPhase;
    switch (intSpinPhase) {
        case 1: lblP->setText("-"); break;
        case 2: lblP->setText("\\"); break;
        case 3: lblP->setText("|"); break;
        case 4: lblP->setText("/"); break;
        default: break;
    }
    if (intSpinPhase == 4) intSpinPhase = 0;
    intBarValue = short(intBarValue + 10);
    PBr->setValue(intBarValue);
    if (intBarValue >= 100) {
        intBarValue = 0;
        skipOnError([&] { intInterval = short(win::roundToInt16(nextRandom() * 100.0) + 1); });
        Timer1->setInterval(intInterval);
    }
}

void frmOCR::timerDel_Timer() {
    timerDel->stop();
    DeleteFolderTree("c:\\ocrtmp");
}

void frmOCR::cmdStart_Click() {
    LangIndex = short(cmbLan->currentIndex());

    QString OutDir;
    skipOnError([&] {
        forms::SequentialReader ini(forms::App::path() + "\\path.ini");
        OutDir = ini.next();
    });
    skipOnError([] { win::makeFolder("c:\\OCRtmp\\"); });
    skipOnError([&] { win::makeFolder(OutDir); });

    intSpinPhase = 1;

    if (cmdStart->text() == "Stop") {
        StopRequested = true;
        cmdStart->setText("Start");
        cmdStart->setEnabled(false);
        return;
    }

    // The range check holds for every scope.
    int s = 0, e = 0;
    const long N = viewer_.PageCount ? viewer_.PageCount() : -1;
    const bool numbers = toPageNumber(txtStart->text(), s) && toPageNumber(txtEnd->text(), e);
    if (!numbers || N < s || N < e || e < 1 || s < 1) {
        forms::msgBox("Please check the page range", forms::vbOKOnly, "Warning");
        return;
    }

    StopRequested = false;
    closeRequested_ = false;

    Run run;
    const QDateTime now = QDateTime::currentDateTime();
    run.OutFile = OutDir + GetFileBaseName(DocPath) + "-" + QString::number(now.date().month()) +
                  "-" + QString::number(now.date().day()) + "-" +
                  QString::number(now.time().hour()) + "-" +
                  QString::number(now.time().minute()) + "-" +
                  QString::number(now.time().second()) + ".txt";

    cmdStart->setText("Stop");
    Timer1->start();
    running_ = true;
    // A deletion still pending from a stopped run would take the work folder from under this one.
    timerDel->stop();

    const QString notStarted = startResult(run.OutFile);
    if (!notStarted.isEmpty()) {
        // Nothing could be stored: say so instead of recognising pages into nowhere.
        running_ = false;
        cmdStart->setText("Start");
        Timer1->stop();
        PBr->setValue(0);
        forms::msgBox("Cannot create the result file:\r\n" + run.OutFile + "\r\n" + notStarted,
                      forms::vbCritical, "Error");
        return;
    }

    Scope scope = Scope::None;
    if (Option1->isChecked()) {
        scope = Scope::CurrentPage;
    } else if (Option2->isChecked()) {
        scope = Scope::Range;
    } else if (Option3->isChecked()) {
        scope = Scope::AllPages;
    }

    // The run ends at the first page that does not make it into the result.
    if (scope == Scope::CurrentPage) {
        run.lastPage = int(viewer_.CurrentPage());
        if (processPage(int(viewer_.CurrentPage()), scope, run)) {
            lblPage->setText("Processed: 1 page");
            pb->setValue(100);
        }
    } else if (scope == Scope::Range) {
        const int first = s >= N ? int(N) : s;
        const int last = e >= N ? int(N) : e;
        run.lastPage = last;
        for (int p = first; p <= last; ++p) {
            if (!processPage(p, scope, run)) break;
            lblPage->setText("Processed: " + QString::number(p - first + 1) + " Page(s)");
            pb->setValue(percent(p - first + 1, last - first + 1));
            if (StopRequested || closeRequested_) break;
        }
    } else if (scope == Scope::AllPages) {
        const long count = N;
        run.lastPage = int(count);
        for (long p = 1; p <= count; ++p) {
            if (!processPage(int(p), scope, run)) break;
            lblPage->setText("Processed: " + QString::number(p) + " Page(s)");
            const long now = viewer_.PageCount();
            pb->setValue(percent(p, now));
            if (StopRequested || closeRequested_) break;
        }
    }

    runTail(run);
}

bool frmOCR::processPage(int page, Scope scope, Run& run) {
    const QString nnnn = pageDigits(page);
    const QString work = QString::fromLatin1(kWorkFolder);
    const bool manyPages = scope != Scope::CurrentPage;

    QString failure = renderPage(page, run);
    if (failure.isEmpty()) failure = recognisePage(page, run);
    if (failure.isEmpty() && !run.engineFailed) {
        PBS->setValue(100);
        if (manyPages) lblS->setText("Loading Text");
        win::pumpMessages();
        failure = appendPage(page, run);
        if (manyPages) win::pumpMessages();
    }

    for (const char* ext : {".jpg", ".tif", ".txt"}) {
        skipOnError([&] { win::killFile(work + nnnn + ext); });
    }
    if (manyPages) skipOnError([&] { win::killFile(work + "r" + nnnn + ".txt"); });

    if (!failure.isEmpty()) {
        run.failedPage = page;
        run.failure = "Page " + QString::number(page) + " " + failure;
        return false;
    }
    if (run.engineFailed) return false;
    ++run.pagesDone;
    return true;
}

QString frmOCR::renderPage(int page, Run& run) {
    // The renderer takes the path and password as the ANSI code page carries them: a path that
    // does not come through whole would name another file.
    if (!win::ansiCanCarry(DocPath)) {
        return "could not be opened: " + win::ansiCodePageLabel() +
               " cannot carry the document's path " + DocPath + ".";
    }
    const QString password = win::fromAnsi(win::toAnsi(DocPassword));
    const int handle = pdfrender::OpenPDF(DocPath, password);
    if (handle == 0) {
        return "could not be opened: " +
               (win::ansiCanCarry(DocPassword)
                    ? pdfrender::OpenFailure(DocPath)
                    : win::ansiCodePageLabel() + " cannot carry the password") +
               ".";
    }
    pdfrender::GetPageNum(handle);
    const int width = pdfrender::GetPageWidth(handle, 1);
    pdfrender::GetPageHeight(handle, 1);

    // 300 dpi for a US Letter page; a width of 0 keeps the previous resolution.
    if (width != 0) skipOnError([&] { run.resolution = win::roundToInt16(183600.0 / width); });
    if (run.resolution < 96) run.resolution = 96;
    if (run.resolution > 300) run.resolution = 300;

    lblS->setText("OCR layer 1");
    PBS->setValue(25);
    const QString folder = QString::fromLatin1(kWorkFolder);
    pdfrender::ExportFailure why;
    const int exported =
        pdfrender::ExportTIF(handle, folder, "", run.resolution, run.resolution, page, page,
                             ExportProgress, pdfrender::kTifGrey, pdfrender::kTifUncompressed, &why);

    lblS->setText("OCR layer 2");
    PBS->setValue(50);
    pdfrender::ClosePDF(handle);
    win::pumpMessages();

    if (exported == 1) return QString();
    switch (why.kind) {
        case pdfrender::ExportFailure::NoSuchPage:
            return QStringLiteral("could not be rendered: the document has no such page.");
        case pdfrender::ExportFailure::TooLarge:
            return "could not be rendered: its image would be " + why.detail + ", more than " +
                   QString::number(pdfrender::kMaxImagePixels) + " pixels or " +
                   QString::number(pdfrender::kMaxImageSide) + " a side.";
        case pdfrender::ExportFailure::NotWritten:
            return "could not be written to " + folder + pdfrender::tifFileName("", page) + ": " +
                   why.detail + ".";
        default: return QStringLiteral("could not be rendered.");
    }
}

QString frmOCR::recognisePage(int page, Run& run) {
    const QString nnnn = pageDigits(page);
    const QString work = QString::fromLatin1(kWorkFolder);
    lblS->setText("Loading Text");
    PBS->setValue(75);
    int lang = cmbLan->currentIndex();
    if (lang < 0 || lang >= List1->count()) lang = 0;
    const QString commandLine = forms::App::path() + "\\ocr.exe " + work + nnnn + ".tif " + work +
                                nnnn + " -l " + List1->item(lang)->text();
    KillProcessByName("ocr.exe");
    // The engine writes its files by name: whatever holds those names now (a link to someone's
    // file, say) goes first, so that the engine makes new files and writes into nothing else.
    for (const char* ext : kEngineOutputs) {
        const QString output = work + nnnn + ext;
        skipOnError([&] { win::killFile(output); });
        if (win::entryExists(output)) {
            return "could not be recognised: " + output +
                   " stands in the engine's way and cannot be removed.";
        }
    }
    WatchedProcess = "ocr.exe";
    objShell->setCommandLine(commandLine);
    skipOnError([&] { objShell->ExecuteCommand(QString()); });
    if (objShell->StartFailed()) {
        // The runner has said so once; no later page would fare better.
        run.engineFailed = true;
        return QString();
    }
    if (!objShell->Succeeded()) {
        const QString said = lastLine(objShell->Outputs());
        return "could not be recognised: the engine failed (" + objShell->EndDescription() + ")" +
               (said.isEmpty() ? QString(".") : " and said: " + said);
    }

    // The engine has gone; its text is normally there already.
    const QString pageText = work + nnnn + ".txt";
    QElapsedTimer grace;
    grace.start();
    while (!win::fileExists(pageText) && grace.elapsed() < kPageTextGraceMs) {
        win::pumpMessages();
    }
    if (!win::entryExists(pageText)) {
        return "could not be recognised: the engine ended without writing " + pageText + ".";
    }

    if (!run.pause) run.pause = std::make_unique<clsWaitableTimer>();
    skipOnError([&] { run.pause->Wait(500); });
    return QString();
}

QString frmOCR::appendPage(int page, Run& run) {
    const QString pageText = QString::fromLatin1(kWorkFolder) + pageDigits(page) + ".txt";
    QByteArray bytes;
    const QString unread = readPageText(pageText, bytes);
    if (!unread.isEmpty()) return "could not be read from " + pageText + ": " + unread + ".";
    // An empty page text is an empty page: it adds nothing.
    if (bytes.isEmpty()) return QString();
    const QString unwritten = appendToResult(run.OutFile, bytes);
    if (!unwritten.isEmpty()) {
        return "could not be added to the result file: " + unwritten + ".";
    }
    return QString();
}

void frmOCR::runTail(Run& run) {
    // WordPad shows a result the user asked for or cut short, not one a failure cut short.
    const bool failed = run.engineFailed || !run.failure.isEmpty();
    if (!closeRequested_ && !failed) {
        // A missing wordpad.exe is no error. The path is quoted so that it reaches the editor
        // as one argument whatever it holds (a host name may carry a double quote).
        win::startProcess(forms::App::path() + "\\wordpad.exe " + win::quoteArgument(run.OutFile));
    }
    const QString nnnn = pageDigits(viewer_.CurrentPage ? viewer_.CurrentPage() : -1);
    for (const char* ext : {".jpg", ".tif", ".txt"}) {
        skipOnError([&] { win::killFile(QString::fromLatin1(kWorkFolder) + nnnn + ext); });
    }

    cmdStart->setText("Start");
    Timer1->stop();
    PBr->setValue(0);
    PBS->setValue(0);
    pb->setValue(0);
    cmdStart->setEnabled(true);
    running_ = false;

    // A page that did not make it is always told, also when the dialog was closed meanwhile
    // (the message then stands on its own).
    const bool closed = closeRequested_;
    closeRequested_ = false;
    if (!closed) timerDel->start();
    if (!run.failure.isEmpty()) {
        forms::msgBox(failureMessage(run), forms::vbCritical, "Not Completed");
        return;
    }
    // After a close the pages done are kept and nothing more is shown; a run whose engine could
    // not be started has nothing more to announce, and a stopped one keeps its dialog open.
    if (!closed && !StopRequested && !run.engineFailed) {
        close();
        forms::msgBox("OCR Completed.\r\nFile has been saved to:\r\n" + run.OutFile,
                      forms::vbOKOnly, "Completed");
    }
}

QString frmOCR::failureMessage(const Run& run) const {
    QString text = "OCR Not Completed.\r\n" + run.failure + "\r\n";
    const int left = run.lastPage - run.failedPage;
    if (left == 1) {
        text += "Page " + QString::number(run.lastPage) + " was not processed.\r\n";
    } else if (left > 1) {
        text += "Pages " + QString::number(run.failedPage + 1) + " to " +
                QString::number(run.lastPage) + " were not processed.\r\n";
    }
    if (run.pagesDone == 0) {
        text += "No page has been saved to:\r\n";
    } else if (run.pagesDone == 1) {
        text += "1 page has been saved to:\r\n";
    } else {
        text += QString::number(run.pagesDone) + " pages have been saved to:\r\n";
    }
    return text + run.OutFile;
}
