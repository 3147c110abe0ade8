#pragma once
// The main window of the text-recognition program: the document in the viewer control, the
// command buttons, the status line and the menus; start-up and shutdown of the program.
#include <QMainWindow>

#include <functional>

#include "pdfview/PDFView.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTextEdit;
class QTimer;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up. False when the program must end at once: another instance runs, or a start-up
    // check failed (it has shown its message).
    bool Form_Load();
    // Shutdown: settings copied out, work folders deleted, then `endProgram`.
    void Form_Unload();

    // Size of the whole window (frame and menu bar included), in twips.
    int Width() const;
    int Height() const;

    // Status line; `guarded`: " No Page" when no document is shown.
    void RefreshPageLabel(bool guarded);

    // True when the path names an existing file (not a folder) under a name that the ANSI code
    // page carries unchanged.
    static bool FileExists(const QString& path);

    short ViewState = 1;  // next step of the view cycle, 1 to 4

    // Runs when the window has unloaded (main ends the program there; tests leave it empty).
    std::function<void()> endProgram;

    // Controls.
    QTimer* Timer3;
    QTimer* Timer2;
    QPushButton* cmdExit;
    QPushButton* cmdOCRAll;
    QPushButton* cmdMenu;
    QPushButton* NormalSize;
    QPushButton* ZoomOut;
    QPushButton* ZoomIn;
    QPushButton* cmdLast;
    QPushButton* cmdFirst;
    QPushButton* NextPage;
    QPushButton* PreviousPage;
    PDFView* MyPDFView1;
    QTimer* Timer1;
    QLineEdit* Text1;
    QPushButton* ViewMode;
    QPushButton* FitWidth;
    QPushButton* FitPage;
    QPushButton* cmdOpen;
    QTextEdit* RT;
    QLabel* lblPage;
    QLabel* lblTip;

    // Menus.
    QMenu* menuFile;
    QAction* menuOpen;
    QAction* menuClose;
    QAction* menuS1;
    QAction* menuExit;
    QMenu* menuPage;
    QAction* menuNextPage;
    QAction* menuPreviousPage;
    QMenu* menuZoom;
    QAction* mneuZoomIn;
    QAction* menuZoomOut;
    QMenu* menuOCR;
    QAction* menuStartOCR;
    QMenu* menuAbout;
    QAction* menuHelp;
    QAction* menuWeb;
    QAction* menuS3;
    QAction* menuA;

    // Addresses of the suite's own pages.
    static QString helpDocumentPath();  // the user guide in the program folder (Windows path)
    static const char* const kWebsite;

public slots:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void NextPage_Click();
    void PreviousPage_Click();
    void cmdFirst_Click();
    void cmdLast_Click();
    void ZoomIn_Click();
    void ZoomOut_Click();
    void NormalSize_Click();
    void FitWidth_Click();
    void FitPage_Click();
    void cmdMenu_Click();
    void cmdOCRAll_Click();
    void cmdOpen_Click();
    void cmdExit_Click();
    void menuClose_Click();
    void menuExit_Click();
    void menuHelp_Click();
    void menuWeb_Click();
    void menuA_Click();
    void Form_Resize();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* pictureButton(const QString& icon, const QString& tip);
    void placeControls();
    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;
    int menuHeight() const;
    int clientHeight() const;

    bool unloaded_ = false;
    bool resizing_ = false;
};
