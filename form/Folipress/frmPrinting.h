#pragma once
// The images-to-PDF program's one working window: toolbar, the two parallel file lists,
// document information, quality, output folder and the conversion run.
//
// The window's code is split by concern over several files, all members of this class:
//   frmPrinting.cpp          controls and layout, toolbar, menus, list operations, focus sweep
//   frmPrinting_Add.cpp      adding files: dialog, folder search, drops, ANSI-safe add
//   frmPrinting_Load.cpp     start-up, settings file, creation date, quality labels, unload
//   frmPrinting_Convert.cpp  the conversion run
#include <QList>
#include <QMainWindow>
#include <QString>

class QLabel;
class QMimeData;
class QLineEdit;
class QListWidget;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class DOSOutputs;
class ShowImage;

class frmPrinting : public QMainWindow {
    Q_OBJECT
public:
    explicit frmPrinting(QWidget* parent = nullptr);
    ~frmPrinting() override;

    // --- controls (created in the constructor; positions in twips as the window's layout) ---
    QList<QPushButton*> CmdToolsBar;  // index 0-6
    QWidget* picDoor = nullptr;       // start picture, covers the list area until first action
    QLabel* imgAdd = nullptr;         // picture button inside picDoor
    QLabel* imgAddData = nullptr;     // hidden hover picture of imgAdd
    QListWidget* List1 = nullptr;     // hidden work list: paths the run opens
    QListWidget* List2 = nullptr;     // visible list: names the user knows
    QWidget* picText = nullptr;       // drop hint box
    QLabel* lblText = nullptr;        // "Drag && Drop Files Here" / "Searching Files..."
    QLabel* Label2 = nullptr;         // "File List:"
    QLabel* lblPageNum = nullptr;     // "Page Number Of Selected File: 0"
    QLabel* lblTitle = nullptr;
    QLineEdit* txtTitle = nullptr;
    QLabel* lblCreateFor = nullptr;
    QLineEdit* txtCreateFor = nullptr;
    QLabel* lblCreationDate = nullptr;
    QLineEdit* txtCreationDate = nullptr;
    QPushButton* Command1 = nullptr;  // "Now"
    QLabel* lblSubject = nullptr;
    QLineEdit* txtSubject = nullptr;
    QLabel* lblKeywords = nullptr;
    QLineEdit* txtKeywords = nullptr;
    QLabel* Label3 = nullptr;         // "Output Path:"
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLabel* lblJPG = nullptr;         // "Compress Quality:"
    QSlider* Slider1 = nullptr;       // 0-100
    QLabel* lblQuality = nullptr;     // "100%"
    QLabel* lblQtt = nullptr;         // "Good"
    QPushButton* Command3 = nullptr;  // "Convert To PDF Now"
    QProgressBar* pb = nullptr;       // 0-100
    QLabel* lblPB = nullptr;          // "0%"
    QLineEdit* txtConvert = nullptr;  // hidden ANSI converter of names
    QLabel* PicLoad = nullptr;        // hidden; measures each page bitmap
    ShowImage* prewImage = nullptr;   // placed on the window; no code drives it

    // Menus.
    QAction* menuAdd = nullptr;
    QAction* menuFolder = nullptr;
    QAction* menuExit = nullptr;
    QAction* menuRemove = nullptr;
    QAction* menuRemoveAll = nullptr;
    QAction* menuUp = nullptr;
    QAction* menuDown = nullptr;
    QAction* menuWeb = nullptr;
    QAction* menuAbout = nullptr;

    // The window's one command runner (created at load); runs pdftk.exe for the conversion run.
    DOSOutputs* dosRunner = nullptr;

    // --- frmPrinting.cpp ---
    void CmdToolsBar_Click(short Index);
    bool FolderExists(const QString& path);
    void FocusToolButtons();
    void List1_Click();
    void List2_Click();
    void imgAdd_Click();
    void cmdBrowse_Click();
    void menuWeb_Click();
    void menuAbout_Click();

    // --- frmPrinting_Add.cpp ---
    void AddFolder();
    void AddFile();                           // toolbar index 0
    void AddAnsiSafe(const QString& name);    // one entry appended to both lists
    void AddDroppedFiles(const QMimeData* Data);
    // Drop targets: the visible list, the start picture and the drop hint.
    void List2_OLEDragDrop(const QMimeData* Data);
    void picDoor_OLEDragDrop(const QMimeData* Data);
    void picText_OLEDragDrop(const QMimeData* Data);
    void List2_OLEDragOver();
    // Highest number tried for a copy's name in "c:\tmp" (lowered by tests).
    int copyNumberLimit = 99999;

    // --- frmPrinting_Load.cpp ---
    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void Slider1_Change();

    // --- frmPrinting_Convert.cpp ---
    void Command3_Click();
    // A bold blue heading (colour FF0000 in the box's BGR form) on the current PDF box; no step
    // of the run calls it.
    void WriteHeading(const QString& text, short y);
    // Handle of the PDF box of the page being made.
    qint32 pdfBox = 0;

    // True once Form_Load found another instance running (the program then ends at once).
    bool endedAsSecondInstance = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
