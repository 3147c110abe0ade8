#include "Form1.h"

#include <QCloseEvent>
#include <QDate>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <cmath>

#include "ButtonIcons.h"
#include "CommonDlgsW.h"
#include "Module1.h"
#include "ProgramVariables.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "forms/SequentialFile.h"
#include "forms/StartupChecks.h"
#include "forms/Shell.h"
#include "frmWizard.h"
#include "modSpecialFolder.h"
#include "skin/SkinH.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/RuntimeError.h"

#if __has_include("frmOCR.h")
#include "frmOCR.h"
#define LUMIDOC_HAS_FRMOCR 1
#endif

using win::skipOnError;

const char* const Form1::kWebsite = "https://lumidoc.example/";

namespace {

// The window's size in twips counts its client area plus a caption, menu bar and borders of
// fixed size (51 by 8 pixels), so the layout below comes out the same under any window manager
// (or none) and any menu bar height.
constexpr int kFrameWidthTwips = 120;
constexpr int kFrameHeightTwips = 765;

constexpr int kMinWidth = 8700;
constexpr int kMinHeight = 5880;

// Design of the button row and the bottom line, in twips.
constexpr int kRowTop = 120;
constexpr int kButton = 450;
constexpr int kButtonGap = 30;
constexpr int kGroupGap = 90;
constexpr int kViewerLeft = 0;
constexpr int kViewerTop = 720;
constexpr int kLabelLeft = 60;
constexpr int kTipWidth = 3000;
constexpr int kLabelHeight = 255;

}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Lumidoc");
    setWindowIcon(ButtonIcons::icon("open"));
    auto* client = new QWidget(this);
    setCentralWidget(client);

    Timer3 = new QTimer(this);
    Timer3->setInterval(200);
    Timer3->setSingleShot(true);  // one view set-up per open, even if it failed
    Timer2 = new QTimer(this);
    Timer2->setInterval(100);
    Timer2->setSingleShot(true);

    cmdExit = pictureButton("exit", "Exit");
    cmdOCRAll = new QPushButton("Start OCR", client);
    cmdOCRAll->setToolTip("OCR All Pages");
    cmdOCRAll->setFont(QFont("Tahoma"));
    cmdOCRAll->setFocusPolicy(Qt::StrongFocus);
    cmdMenu = pictureButton("index", "Show/Hide Index");
    NormalSize = pictureButton("actualsize", "View Mode/Actual Size");
    ZoomOut = pictureButton("zoomout", "Zoom Out");
    ZoomIn = pictureButton("zoomin", "Zoom In");
    cmdLast = pictureButton("last", "Last Page");
    cmdFirst = pictureButton("first", "First Page");
    NextPage = pictureButton("next", "Next Page");
    PreviousPage = pictureButton("previous", "Previous Page");
    MyPDFView1 = new PDFView(client);
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    Text1 = new QLineEdit(client);  // kept on the window, unused
    Text1->hide();
    ViewMode = pictureButton("viewmode", "View Mode");
    FitWidth = pictureButton("fitwidth", "Fit Width");
    FitPage = new QPushButton(QString::fromUtf8("合适页面"), client);
    FitPage->setFont(QFont(QString::fromUtf8("宋体")));
    FitPage->setFocusPolicy(Qt::StrongFocus);
    cmdOpen = pictureButton("open", "Open a PDF file");
    RT = new QTextEdit(client);  // kept on the window, unused
    RT->hide();
    lblPage = new QLabel(" No Page", client);
    lblTip = new QLabel(" None", client);

    // Menus.
    menuFile = menuBar()->addMenu("File");
    menuOpen = menuFile->addAction("Open PDF");
    menuClose = menuFile->addAction("Close PDF");
    menuS1 = menuFile->addSeparator();
    menuExit = menuFile->addAction("Exit");
    menuPage = menuBar()->addMenu("Page");
    menuNextPage = menuPage->addAction("Next Page");
    menuPreviousPage = menuPage->addAction("Previous Page");
    menuZoom = menuBar()->addMenu("Zoom");
    mneuZoomIn = menuZoom->addAction("Zoom In");
    menuZoomOut = menuZoom->addAction("Zoom Out");
    menuOCR = menuBar()->addMenu("OCR");
    menuStartOCR = menuOCR->addAction("Start OCR");
    menuAbout = menuBar()->addMenu("About");
    menuHelp = menuAbout->addAction("Help Document");
    menuWeb = menuAbout->addAction("Website");
    menuS3 = menuAbout->addSeparator();
    menuA = menuAbout->addAction("About");

    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    connect(cmdExit, &QPushButton::clicked, this, &Form1::cmdExit_Click);
    connect(cmdOCRAll, &QPushButton::clicked, this, &Form1::cmdOCRAll_Click);
    connect(cmdMenu, &QPushButton::clicked, this, &Form1::cmdMenu_Click);
    connect(NormalSize, &QPushButton::clicked, this, &Form1::NormalSize_Click);
    connect(ZoomOut, &QPushButton::clicked, this, &Form1::ZoomOut_Click);
    connect(ZoomIn, &QPushButton::clicked, this, &Form1::ZoomIn_Click);
    connect(cmdLast, &QPushButton::clicked, this, &Form1::cmdLast_Click);
    connect(cmdFirst, &QPushButton::clicked, this, &Form1::cmdFirst_Click);
    connect(NextPage, &QPushButton::clicked, this, &Form1::NextPage_Click);
    connect(PreviousPage, &QPushButton::clicked, this, &Form1::PreviousPage_Click);
    connect(FitWidth, &QPushButton::clicked, this, &Form1::FitWidth_Click);
    connect(FitPage, &QPushButton::clicked, this, &Form1::FitPage_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &Form1::cmdOpen_Click);
    connect(menuOpen, &QAction::triggered, this, &Form1::cmdOpen_Click);
    connect(menuClose, &QAction::triggered, this, &Form1::menuClose_Click);
    connect(menuExit, &QAction::triggered, this, &Form1::menuExit_Click);
    connect(menuNextPage, &QAction::triggered, this, &Form1::NextPage_Click);
    connect(menuPreviousPage, &QAction::triggered, this, &Form1::PreviousPage_Click);
    connect(mneuZoomIn, &QAction::triggered, this, &Form1::ZoomIn_Click);
    connect(menuZoomOut, &QAction::triggered, this, &Form1::ZoomOut_Click);
    connect(menuStartOCR, &QAction::triggered, this, &Form1::cmdOCRAll_Click);
    connect(menuHelp, &QAction::triggered, this, &Form1::menuHelp_Click);
    connect(menuWeb, &QAction::triggered, this, &Form1::menuWeb_Click);
    connect(menuA, &QAction::triggered, this, &Form1::menuA_Click);

    for (QWidget* w : {static_cast<QWidget*>(cmdExit), static_cast<QWidget*>(cmdOCRAll),
                       static_cast<QWidget*>(NextPage), static_cast<QWidget*>(cmdOpen),
                       static_cast<QWidget*>(NormalSize), static_cast<QWidget*>(PreviousPage),
                       static_cast<QWidget*>(ZoomIn), static_cast<QWidget*>(ZoomOut)})
        w->installEventFilter(this);

    placeControls();
    // Design size: room for the whole button row and a readable page.
    resize(toPixelsX(12000 - kFrameWidthTwips), toPixelsY(9000 - kFrameHeightTwips) + menuHeight());
    Timer1->start();
}

Form1::~Form1() = default;

QPushButton* Form1::pictureButton(const QString& icon, const QString& tip) {
    auto* b = new QPushButton(centralWidget());
    b->setIcon(ButtonIcons::icon(icon));
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

int Form1::toPixelsX(int twips) const {
    return int(std::lround(twips / forms::App::twipsPerPixelX()));
}

int Form1::toPixelsY(int twips) const {
    return int(std::lround(twips / forms::App::twipsPerPixelY()));
}

int Form1::Width() const {
    return int(std::lround(width() * forms::App::twipsPerPixelX())) + kFrameWidthTwips;
}

int Form1::Height() const {
    return int(std::lround(clientHeight() * forms::App::twipsPerPixelY())) + kFrameHeightTwips;
}

int Form1::menuHeight() const { return menuBar()->sizeHint().height(); }

int Form1::clientHeight() const { return height() - menuHeight(); }

void Form1::placeControls() {
    // The button row, left to right, in groups.
    const QList<QList<QPushButton*>> groups = {
        {cmdOpen, cmdMenu},
        {cmdFirst, PreviousPage, NextPage, cmdLast},
        {ZoomOut, ZoomIn, NormalSize, ViewMode, FitWidth, FitPage},
        {cmdOCRAll},
        {cmdExit},
    };
    int x = 60;
    for (const auto& group : groups) {
        for (QPushButton* b : group) {
            int w = kButton;
            if (b == cmdOCRAll)
                w = 1125;
            else if (b == FitPage)
                w = 990;
            b->setGeometry(toPixelsX(x), toPixelsY(kRowTop), toPixelsX(w), toPixelsY(kButton));
            b->setIconSize(QSize(toPixelsX(kButton) - 10, toPixelsY(kButton) - 10));
            x += w + kButtonGap;
        }
        x += kGroupGap;
    }
    const int iconPx = toPixelsX(kButton) - 10;
    for (QPushButton* b : centralWidget()->findChildren<QPushButton*>())
        if (!b->icon().isNull())
            b->setIconSize(QSize(iconPx, iconPx));
    lblTip->setGeometry(toPixelsX(kLabelLeft), 0, toPixelsX(kTipWidth), toPixelsY(kLabelHeight));
    lblPage->setGeometry(toPixelsX(kLabelLeft + kTipWidth), 0, toPixelsX(4000), toPixelsY(kLabelHeight));
    MyPDFView1->setGeometry(toPixelsX(kViewerLeft), toPixelsY(kViewerTop), toPixelsX(4000), toPixelsY(3000));
    setMinimumSize(toPixelsX(kMinWidth - kFrameWidthTwips),
                   toPixelsY(kMinHeight - kFrameHeightTwips) + menuHeight());
}

// ---- start-up and shutdown ----

bool Form1::Form_Load() {
    LangIndex = 0;
    // Start-up deletes folders on drive C: a drive C that could hold the user's own files ends
    // the program before anything is touched.
    if (!forms::checkDriveC())
        return false;
    if (forms::App::prevInstance())
        return false;
    // Without ocr.exe documents can still be viewed: a warning, and the program goes on.
    forms::checkProgramFolder(QStringLiteral(
        "the recognition engine ocr.exe cannot be started from it: documents can be viewed, but "
        "not recognised."));
    SkinH_Attach();
    ViewState = 1;
    DeleteFolderTree("c:\\OCRtmp");
    BookmarkPaneShown = 1;
    delete dlgOpen;
    dlgOpen = new CommonDlgsW;
    skipOnError([] { win::makeFolder("c:\\OCRtmp"); });
    win::pumpMessages();
    Timer2->start();
    DeleteFolderTree("c:\\tmp");
    return true;
}

void Form1::Timer2_Timer() {
    activateWindow();
    setFocus();
    Timer2->stop();
    QString first;
    skipOnError([&] {
        forms::SequentialReader in(forms::App::path() + "\\wizard.ini");
        first = in.next();
    });
    if (first == "1") {
        frmWizard wizard(this);
        wizard.exec();
    }
}

void Form1::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    const QString source = forms::App::path() + "\\QXLconfig.ini";
    for (long id : {modSpecialFolder::CSIDL_APPDATA, modSpecialFolder::CSIDL_COMMON_APPDATA,
                    modSpecialFolder::CSIDL_LOCAL_APPDATA}) {
        const QString folder = modSpecialFolder::GetSpecialFolder(id, true);
        // Without the folder the target would be "\Quillet\..." on the current drive.
        if (!folder.isEmpty())
            skipOnError([&] { win::copyFile(source, folder + "\\Quillet\\QXLConfig.ini"); });
    }
    DeleteFolderTree("c:\\ocrtmp");
    DeleteFolderTree("c:\\tmp");
    if (endProgram)
        endProgram();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// ---- status line and timers ----

void Form1::RefreshPageLabel(bool guarded) {
    const long page = MyPDFView1->CurrentPage();
    if (guarded && page == -1) {
        lblPage->setText(" No Page");
        return;
    }
    // The zoom is read in single precision and the percentage computed in it too.
    const float zoom = float(MyPDFView1->ZoomFactor());
    const float percent = zoom * 100.0f;
    lblPage->setText(QString(" Page: %1/%2      %3%")
                         .arg(page)
                         .arg(MyPDFView1->PageCount())
                         .arg(static_cast<long long>(std::floor(percent))));
}

void Form1::Timer1_Timer() { RefreshPageLabel(true); }

void Form1::Timer3_Timer() {
    MyPDFView1->SetLayoutMode(1);
    MyPDFView1->FitToWidth();
    Timer3->stop();
}

// ---- paging, zoom and view ----

void Form1::NextPage_Click() {
    if (MyPDFView1->CurrentPage() == -1) {
        lblPage->setText(" No Page");
        return;
    }
    MyPDFView1->GoNextPage();
    RefreshPageLabel(true);
}

void Form1::PreviousPage_Click() {
    if (MyPDFView1->CurrentPage() == -1) {
        lblPage->setText(" No Page");
        return;
    }
    MyPDFView1->GoPreviousPage();
    RefreshPageLabel(true);
}

void Form1::cmdFirst_Click() {
    MyPDFView1->GoFirstPage();
    RefreshPageLabel(false);
}

void Form1::cmdLast_Click() {
    MyPDFView1->GoLastPage();
    RefreshPageLabel(false);
}

void Form1::ZoomIn_Click() {
    MyPDFView1->setZoomFactor(double(float(MyPDFView1->ZoomFactor())) + 0.2);
    RefreshPageLabel(false);
}

void Form1::ZoomOut_Click() {
    MyPDFView1->setZoomFactor(double(float(MyPDFView1->ZoomFactor())) - 0.2);
    RefreshPageLabel(false);
}

void Form1::NormalSize_Click() {
    switch (ViewState) {
        case 1: MyPDFView1->SetLayoutMode(1); MyPDFView1->FitToWidth(); break;
        case 2: MyPDFView1->SetLayoutMode(1); MyPDFView1->FitToPage(); break;
        case 3: MyPDFView1->SetLayoutMode(2); MyPDFView1->FitToWidth(); break;
        case 4: MyPDFView1->SetLayoutMode(2); MyPDFView1->FitToPage(); break;
        default: break;
    }
    ViewState = ViewState + 1;
    if (ViewState > 4)
        ViewState = 1;
}

void Form1::FitWidth_Click() { MyPDFView1->FitToWidth(); }

void Form1::FitPage_Click() { MyPDFView1->FitToPage(); }

void Form1::cmdMenu_Click() {
    BookmarkPaneShown = BookmarkPaneShown == 0 ? 1 : 0;
    MyPDFView1->ShowBookmarkPane(BookmarkPaneShown);
}

void Form1::cmdOCRAll_Click() {
    if (MyPDFView1->PageCount() == -1)
        return;
#ifdef LUMIDOC_HAS_FRMOCR
    frmOCR dialog(MyPDFView1, this);
    dialog.exec();
#endif
}

void Form1::menuClose_Click() { MyPDFView1->CloseDocument(); }

// ---- opening a document ----

bool Form1::FileExists(const QString& path) {
    // What the ANSI file functions would look up: a lossy name finds nothing.
    if (!win::ansiCanCarry(path))
        return false;
    return win::fileExists(path) && !win::folderExists(path);
}

void Form1::cmdOpen_Click() {
    MyPDFView1->CloseDocument();
    if (!dlgOpen)
        return;  // not loaded: no dialog object to ask
    bool chosen = false;
    skipOnError([&] {
        dlgOpen->FileName = "";
        dlgOpen->Filter = "PDF Files(*.pdf, *.PDF)|*.pdf";
        chosen = dlgOpen->ShowOpen(this);
    });
    if (!chosen || dlgOpen->FileName.isEmpty())
        return;
    const QString name = dlgOpen->FileName;
    skipOnError([] { win::makeFolder("c:\\tmp"); });
    QString path;
    if (FileExists(name)) {
        path = name;
    } else {
        path = "c:\\tmp\\tmpocr.tmp";
        // A copy left by an earlier open must not stand in for a file that cannot be copied.
        skipOnError([&] { win::killFile(path); });
        skipOnError([&] { win::copyFile(name, path); });
    }
    DocPath = path;
    DocPassword = "";
    if (MyPDFView1->OpenDocument(path, "", 0) == -2) {
        DocPassword = forms::inputBox("Please enter the password", "Password");
        MyPDFView1->OpenDocument(path, DocPassword, 0);
    }
    Timer3->start();
    MyPDFView1->setCurrentPage(1);
    RefreshPageLabel(false);
}

// ---- leaving, help and about ----

void Form1::cmdExit_Click() { close(); }

void Form1::menuExit_Click() {
    if (forms::msgBox("Are you sure to exit?", forms::vbOKCancel, "Quit") == forms::vbOK)
        close();
}

QString Form1::helpDocumentPath() { return forms::App::path() + "\\UserGuide.html"; }

void Form1::menuHelp_Click() { forms::shellOpen(helpDocumentPath()); }

void Form1::menuWeb_Click() { forms::shellOpen(kWebsite); }

void Form1::menuA_Click() {
    const QString notice = "Lumidoc Text Recognition - Copyright (C) The Lumidoc developers " +
                           QString::number(QDate::currentDate().year());
    forms::msgBox(notice + "\r\n" + kWebsite, forms::vbOKOnly, "About");
}

// ---- hover tips and layout ----

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
        if (auto* b = qobject_cast<QPushButton*>(watched))
            lblTip->setText(" " + b->toolTip());
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize() {
    if (resizing_)
        return;
    resizing_ = true;
    // A window manager may ignore the minimum size; snap back to it here.
    int wantW = width(), wantH = height();
    if (Width() < kMinWidth)
        wantW = toPixelsX(kMinWidth - kFrameWidthTwips);
    if (Height() < kMinHeight)
        wantH = toPixelsY(kMinHeight - kFrameHeightTwips) + menuHeight();
    if (wantW != width() || wantH != height())
        resize(wantW, wantH);
    for (QWidget* w : {static_cast<QWidget*>(PreviousPage), static_cast<QWidget*>(NextPage),
                       static_cast<QWidget*>(ZoomIn), static_cast<QWidget*>(ZoomOut),
                       static_cast<QWidget*>(NormalSize), static_cast<QWidget*>(cmdOCRAll),
                       static_cast<QWidget*>(cmdExit), static_cast<QWidget*>(cmdOpen)})
        w->setFocus();
    const int w = Width();
    const int h = Height();
    const int tipH = int(std::lround(lblTip->height() * forms::App::twipsPerPixelY()));
    const int tipW = int(std::lround(lblTip->width() * forms::App::twipsPerPixelX()));
    // Tops are in the client area, below the menu bar.
    lblTip->move(lblTip->x(), toPixelsY(h - 1060));
    lblPage->move(lblPage->x(), toPixelsY(h - 1060));
    MyPDFView1->resize(toPixelsX(w - 135), std::max(0, toPixelsY(h - tipH - 720 - 820)));
    lblPage->resize(std::max(0, toPixelsX(w - tipW - 120)), lblPage->height());
    resizing_ = false;
}
