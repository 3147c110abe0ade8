#pragma once
// The recognition dialog: language and page scope, the recognition run started and stopped by
// cmdStart, and its progress.
#include <QDialog>
#include <QPointer>

#include <functional>

#include "pdfview/PDFView.h"

class DOSOutputs;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

class frmOCR : public QDialog {
    Q_OBJECT
public:
    // What the run reads from the viewer, afresh at every use.
    struct Viewer {
        std::function<long()> PageCount;
        std::function<long()> CurrentPage;
    };

    explicit frmOCR(PDFView* viewer, QWidget* parent = nullptr)
        : frmOCR(Viewer{[v = QPointer<PDFView>(viewer)] { return v ? v->PageCount() : -1L; },
                        [v = QPointer<PDFView>(viewer)] { return v ? v->CurrentPage() : -1L; }},
                 parent) {}
    explicit frmOCR(Viewer viewer, QWidget* parent = nullptr);
    ~frmOCR() override;

    // True while a run is in progress (between a Start click and the end of its tail).
    bool running() const { return running_; }

    // Controls.
    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* txtStart;
    QLineEdit* txtEnd;
    QComboBox* cmbLan;
    QProgressBar* PBr;
    QLabel* lblP;
    QProgressBar* PBS;
    QLabel* lblS;
    QProgressBar* pb;
    QLabel* lblPage;
    QPushButton* cmdStart;
    QPushButton* cmdCancel;
    QListWidget* List1;
    QTimer* Timer1;
    QTimer* timerDel;

    // Form-level state.
    DOSOutputs* objShell = nullptr;
    short intSpinPhase = 0;
    short intInterval = 0;
    short intBarValue = 0;

public slots:
    void cmdStart_Click();
    void cmdCancel_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Timer1_Timer();
    void timerDel_Timer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    enum class Scope { None, CurrentPage, Range, AllPages };

    void Form_Load();
    void buildControls();
    struct Run;
    // A page through the renderer and the engine into the result; false when it did not make
    // it (the reason is in the run) or the engine could not be started.
    bool processPage(int page, Scope scope, Run& run);
    // The steps of a page; each gives the reason the page failed, empty when it went well.
    QString renderPage(int page, Run& run);
    QString recognisePage(int page, Run& run);
    QString appendPage(int page, Run& run);
    void runTail(Run& run);
    QString failureMessage(const Run& run) const;

    Viewer viewer_;
    bool running_ = false;
    // Cancel or the close box during a run: the run ends after the current page, quietly.
    bool closeRequested_ = false;
};
