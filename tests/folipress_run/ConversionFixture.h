#pragma once
// A loaded main window with scripted message boxes and shell, the real pdftk in its program
// folder, pictures in a folder of their own (outside drive C), and a record of every pdftk run.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <memory>

#include "DOSOutputs.h"
#include "Globals.h"
#include "RunKit.h"
#include "forms/MessageBox.h"
#include "forms/Shell.h"
#include "frmPrinting.h"

struct ConversionFixture : ::testing::Test {
    testing_support::ScratchDriveC driveC;
    runkit::ProgramFolder program;
    forms::ScriptedUi ui;
    forms::RecordingShell shell;
    QTemporaryDir pictures;
    std::unique_ptr<frmPrinting> w;

    struct PdftkRun {
        QString commandLine;
        QStringList tmpFiles;     // c:\tmp right after the run
        QStringList jpgtmpFiles;  // c:\jpgtmp right after the run
        QByteArray info;          // c:\tmp\info.txt
    };
    QList<PdftkRun> runs;

    ConversionFixture() {
        runkit::privateRuntimeFolder();
        setProgramEnd([](int code) { throw runkit::ProgramEnded{code}; });
        w = std::make_unique<frmPrinting>();
        w->Form_Load();
        w->txtTitle->setText("Scans");
        QObject::connect(w->dosRunner, &DOSOutputs::CommandOver, [this] {
            runs << PdftkRun{w->dosRunner->CommandLine(), files("tmp"), files("jpgtmp"),
                             testing_support::readFile(driveC.hostPath("tmp/info.txt"))};
        });
    }
    ~ConversionFixture() override { setProgramEnd(nullptr); }

    QStringList files(const QString& folder) const {
        return QDir(driveC.hostPath(folder)).entryList(QDir::Files, QDir::Name);
    }
    // A picture in the pictures folder; its Windows path.
    QString picture(const QString& name, FREE_IMAGE_FORMAT fif, int w, int h, int bits = 24, int flags = -1) {
        EXPECT_TRUE(runkit::makePicture(pictures.path() + "/" + name, fif, w, h, bits, flags)) << name.toStdString();
        return win::fromHostPath(pictures.path() + "/" + name);
    }
    // A fixture made by tools/make-picture-fixtures.py; its Windows path.
    static QString fixture(const char* name) {
        return win::fromHostPath(QStringLiteral(LUMIDOC_TEST_DATA "/pictures/") + name);
    }
    QString file(const QString& name, const QByteArray& bytes) {
        testing_support::writeFile(pictures.path() + "/" + name, bytes);
        return win::fromHostPath(pictures.path() + "/" + name);
    }
    void add(const QString& winPath, const QString& shown = QString()) {
        w->List1->addItem(winPath);
        w->List2->addItem(shown.isEmpty() ? winPath : shown);
    }
    QString output(const QString& title = "Scans") const { return driveC.hostPath("output/" + title + ".pdf"); }
    QString pdftk() const { return forms::App::path() + "\\pdftk.exe "; }
    bool toolbarEnabled() const {
        for (QPushButton* b : w->CmdToolsBar)
            if (!b->isEnabled()) return false;
        return true;
    }
    bool toolbarDisabled() const {
        for (QPushButton* b : w->CmdToolsBar)
            if (b->isEnabled()) return false;
        return true;
    }
    // Runs the conversion; true when it ended the program.
    bool convert() {
        try {
            w->Command3_Click();
            return false;
        } catch (const runkit::ProgramEnded&) {
            return true;
        }
    }
};
