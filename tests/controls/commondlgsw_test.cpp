// The Unicode file and colour dialogs, driven through the scripted dialog service.
#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <gtest/gtest.h>

#include "CommonDlgsW.h"
#include "TestSupport.h"
#include "forms/FileDialogService.h"
#include "forms/SystemColors.h"
#include "win/RuntimeError.h"

using forms::ScriptedFileDialogs;

namespace {
QString nuls(int n) { return QString(n, QChar(0)); }
}  // namespace

TEST(CommonDlgsW, StartsWithItsDefaults) {
    CommonDlgsW d;
    EXPECT_EQ(d.Flags, 0);
    EXPECT_EQ(d.Filter, "All files (*.*)|*.*");
    EXPECT_EQ(d.FilterIndex, 1);
    EXPECT_EQ(d.MaxFileSize, 256);
    EXPECT_EQ(qint32(d.Color), 12632256);
    EXPECT_TRUE(d.FileName.isEmpty() && d.FileTitle.isEmpty() && d.Title.isEmpty());
    EXPECT_TRUE(d.DefaultExt.isEmpty() && d.DialogTitle.isEmpty() && d.InitDir.isEmpty());
    EXPECT_EQ(d.customColors(), QList<quint32>(16, 0u));
}

TEST(CommonDlgsW, OpenHandsTheFieldsToTheDialogAndReadsTheChoiceBack) {
    ScriptedFileDialogs dialogs;
    QWidget owner;
    CommonDlgsW d;
    d.Filter = "PDF Files(*.pdf, *.PDF)|*.pdf";
    d.Title = "ignored by the dialog";
    d.InitDir = "c:\\docs";
    d.DefaultExt = "pdf";
    d.FileName = "start.pdf";
    dialogs.answerFile("c:\\docs\\report.pdf");
    ASSERT_TRUE(d.ShowOpen(&owner));

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    const forms::FileDialogRequest& r = dialogs.fileRequests[0];
    EXPECT_EQ(r.kind, forms::FileDialogRequest::Open);
    EXPECT_EQ(r.owner, &owner);
    EXPECT_EQ(r.filter, QString("PDF Files(*.pdf, *.PDF)") + QChar(0) + "*.pdf" + nuls(2));
    ASSERT_EQ(r.filters().size(), 1);
    EXPECT_EQ(r.filters()[0].first, "PDF Files(*.pdf, *.PDF)");
    EXPECT_EQ(r.filters()[0].second, "*.pdf");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.fileName, "start.pdf");
    EXPECT_EQ(r.initialDir, "c:\\docs");
    EXPECT_EQ(r.maxFileSize, 256);
    EXPECT_EQ(r.defaultExt, "pdf");
    EXPECT_TRUE(r.caption.isEmpty());  // Title is output only

    EXPECT_EQ(d.FileName, "c:\\docs\\report.pdf");
    EXPECT_EQ(d.FileTitle, "report.pdf");
    EXPECT_EQ(d.Title, "report.pdf");
    EXPECT_EQ(d.Flags, 0);
}

TEST(CommonDlgsW, SaveUsesTheSaveDialogAndTheCaption) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    d.DialogTitle = "Save the result";
    d.Flags = forms::OFN_OVERWRITEPROMPT;
    d.DefaultExt = "txt";
    dialogs.answerFile("C:\\out\\result.TXT");
    dialogs.answerFile("C:\\out\\result.csv");
    ASSERT_TRUE(d.ShowSave(nullptr));
    EXPECT_EQ(dialogs.fileRequests[0].kind, forms::FileDialogRequest::Save);
    EXPECT_EQ(dialogs.fileRequests[0].caption, "Save the result");
    EXPECT_EQ(d.Flags, int(forms::OFN_OVERWRITEPROMPT));
    // Another extension than the default one is reported in the returned flags.
    ASSERT_TRUE(d.ShowSave(nullptr));
    EXPECT_EQ(d.Flags, int(forms::OFN_OVERWRITEPROMPT | forms::OFN_EXTENSIONDIFFERENT));
    EXPECT_EQ(d.FileName, "C:\\out\\result.csv");
}

TEST(CommonDlgsW, CancelChangesNothing) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    d.FileName = "c:\\a\\old.pdf";
    d.FileTitle = "old title";
    d.Title = "old";
    d.Flags = forms::OFN_FILEMUSTEXIST;
    dialogs.answerCancel();
    EXPECT_FALSE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, "c:\\a\\old.pdf");
    EXPECT_EQ(d.FileTitle, "old title");
    EXPECT_EQ(d.Title, "old");
    EXPECT_EQ(d.Flags, int(forms::OFN_FILEMUSTEXIST));
    // With nothing scripted the dialog is cancelled too.
    EXPECT_FALSE(d.ShowSave(nullptr));
}

TEST(CommonDlgsW, HostPathsComeBackInWindowsForm) {
    testing_support::ScratchDriveC driveC;
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    dialogs.answerFile(driveC.hostPath("scans/Ωμέγα.pdf"));
    dialogs.answerFile("/srv/in/a.pdf");
    ASSERT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, QString("C:\\scans\\Ωμέγα.pdf"));
    EXPECT_EQ(d.FileTitle, QString("Ωμέγα.pdf"));
    ASSERT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, "Z:\\srv\\in\\a.pdf");
}

TEST(CommonDlgsW, MultiSelectKeepsTheWholeBufferForTheCaller) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    d.Flags = forms::OFN_ALLOWMULTISELECT | forms::OFN_EXPLORER;
    d.Title = "kept";
    dialogs.answerFiles({"C:\\scans\\p1.jpg", "C:\\scans\\p2.tif"});
    dialogs.answerFiles({"C:\\p3.png", "C:\\p4.png"});
    dialogs.answerFiles({"C:\\scans\\only.jpg"});
    ASSERT_TRUE(d.ShowOpen(nullptr));
    const QString head = QString("C:\\scans") + QChar(0) + "p1.jpg" + QChar(0) + "p2.tif" + nuls(2);
    EXPECT_EQ(d.FileName, head + nuls(256 - head.size()));
    EXPECT_EQ(d.FileName.size(), 256);
    EXPECT_TRUE(d.FileTitle.isEmpty());
    EXPECT_EQ(d.Title, "kept");
    // Files in the root: the folder keeps its backslash.
    ASSERT_TRUE(d.ShowOpen(nullptr));
    EXPECT_TRUE(d.FileName.startsWith(QString("C:\\") + QChar(0) + "p3.png" + QChar(0)));
    // One file: its full path, then NULs.
    ASSERT_TRUE(d.ShowOpen(nullptr));
    EXPECT_TRUE(d.FileName.startsWith(QString("C:\\scans\\only.jpg") + nuls(2)));
    // The next dialog is shown the buffer's text up to its first NUL.
    dialogs.answerCancel();
    d.ShowOpen(nullptr);
    EXPECT_EQ(dialogs.fileRequests.last().fileName, "C:\\scans\\only.jpg");
}

TEST(CommonDlgsW, NoValidateLeavesTheTitlesAlone) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    d.Flags = forms::OFN_NOVALIDATE;
    d.Title = "t";
    dialogs.answerFile("C:\\x\\y.pdf");
    ASSERT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, "C:\\x\\y.pdf");
    EXPECT_TRUE(d.FileTitle.isEmpty());
    EXPECT_EQ(d.Title, "t");
}

TEST(CommonDlgsW, NamesLongerThanTheirBuffersFailBeforeAnyDialog) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    d.FileName = QString(257, 'a');
    try {
        d.ShowOpen(nullptr);
        FAIL() << "no error";
    } catch (const win::RuntimeError& e) {
        EXPECT_EQ(e.number(), win::kErrInvalidCall);
    }
    d.FileName = QString(256, 'a');  // fits exactly
    d.InitDir = QString(257, 'b');
    EXPECT_THROW(d.ShowSave(nullptr), win::RuntimeError);
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    d.InitDir = QString(256, 'b');
    EXPECT_FALSE(d.ShowSave(nullptr));
    EXPECT_EQ(dialogs.fileRequests.size(), 1);
}

TEST(CommonDlgsW, AChoiceBeyondTheCapacityFailsLikeTheDialog) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    const QString path255 = "C:\\" + QString(252, 'n');  // 255 characters and its NUL: fits
    const QString path256 = path255 + "x";
    dialogs.answerFile(path256);
    dialogs.answerFile(path255);
    EXPECT_FALSE(d.ShowOpen(nullptr));
    EXPECT_TRUE(d.FileName.isEmpty());
    EXPECT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, path255);
    // A larger capacity gets a larger buffer.
    d.MaxFileSize = 1024;
    d.FileName = QString(600, 'a');
    dialogs.answerFile("C:\\" + QString(700, 'l'));
    EXPECT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName.size(), 703);
    // A smaller one limits the choice.
    d.MaxFileSize = 10;
    d.FileName.clear();
    dialogs.answerFile("C:\\abcdef.pdf");
    EXPECT_FALSE(d.ShowOpen(nullptr));
}

TEST(CommonDlgsW, FilterListsAndIndexes) {
    ScriptedFileDialogs dialogs;
    CommonDlgsW d;
    d.Filter = "JPG Files(*.jpg)|*.jpg|TIF Files(*.tif)|*.tif;*.tiff|All Files(*.*)|*.*";
    d.FilterIndex = 3;
    d.ShowOpen(nullptr);
    const auto f = dialogs.fileRequests[0].filters();
    ASSERT_EQ(f.size(), 3);
    EXPECT_EQ(f[1].second, "*.tif;*.tiff");
    EXPECT_EQ(dialogs.fileRequests[0].filterIndex, 3);
    EXPECT_EQ(d.FilterIndex, 3);
    EXPECT_EQ(forms::qtNameFilter(f[1].first, f[1].second), "TIF Files(*.tif) (*.tif *.tiff)");
    EXPECT_EQ(forms::qtNameFilter(f[2].first, f[2].second), "All Files(*.*) (*)");
    // An unpaired last text is no filter.
    d.Filter = "A|*.a|B";
    d.ShowOpen(nullptr);
    EXPECT_EQ(dialogs.fileRequests[1].filters().size(), 1);
}

TEST(CommonDlgsW, NegativeColoursNameSystemColours) {
    CommonDlgsW d;
    d.Color = qint32(0x8000000F);
    EXPECT_EQ(quint32(qint32(d.Color)), forms::sysColor(15));
    EXPECT_EQ(forms::fromColorRef(quint32(qint32(d.Color))),
              QApplication::palette().color(QPalette::Button).toRgb());
    d.Color = qint32(0x80000005);
    EXPECT_EQ(quint32(qint32(d.Color)), forms::sysColor(forms::COLOR_WINDOW));
    d.Color = 0x123456;
    EXPECT_EQ(qint32(d.Color), 0x123456);
    d.Color = -1;  // system colour 65535 names none
    EXPECT_EQ(qint32(d.Color), 0);
}

TEST(CommonDlgsW, ColourDialogKeepsCustomColoursBetweenDialogs) {
    ScriptedFileDialogs dialogs;
    QWidget owner;
    CommonDlgsW d;
    QList<quint32> custom(16, 0u);
    custom[0] = 0x0000FF;
    custom[5] = 0x00FF00;
    dialogs.answerColor(0x336699, custom);
    dialogs.answerColorCancel();
    ASSERT_TRUE(d.ShowColor(&owner));
    EXPECT_EQ(qint32(d.Color), 0x336699);
    EXPECT_FALSE(d.ShowColor(&owner));
    ASSERT_EQ(dialogs.colorRequests.size(), 2);
    EXPECT_EQ(dialogs.colorRequests[0].color, 12632256u);
    EXPECT_EQ(dialogs.colorRequests[0].flags, 259u);
    EXPECT_EQ(dialogs.colorRequests[0].owner, &owner);
    EXPECT_EQ(dialogs.colorRequests[1].customColors, custom);
    EXPECT_EQ(dialogs.colorRequests[1].color, 0x336699u);
    EXPECT_EQ(qint32(d.Color), 0x336699);  // cancel keeps the colour
    // A second object starts with its own custom colours.
    CommonDlgsW other;
    other.ShowColor(nullptr);
    EXPECT_EQ(dialogs.colorRequests[2].customColors, QList<quint32>(16, 0u));
}

// The real dialogs, answered by a timer as a user would.
#include <QColorDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace {
template <class Dialog, class Act>
void whenShown(Act act) {
    // Polls until the dialog is up (it may take a moment to build), then acts on it. On a loaded
    // machine the dialog may not yet list the folder when the act runs and so stay open: the act
    // is repeated every second, a message box over it is answered, and after 20 s the dialog is
    // rejected so the test fails instead of hanging.
    auto* poll = new QTimer(qApp);  // a poll still pending when the test ends goes with the app
    poll->setInterval(50);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto lastAct = std::make_shared<qint64>(-1);
    auto actedOn = std::make_shared<QPointer<Dialog>>();
    QObject::connect(poll, &QTimer::timeout, [poll, act, clock, lastAct, actedOn] {
        auto finish = [poll] {
            poll->stop();
            poll->deleteLater();
        };
        if (*lastAct >= 0 && (actedOn->isNull() || !(*actedOn)->isVisible())) return finish();
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->accept();
            return;
        }
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        if (clock->elapsed() > 20000) {
            ADD_FAILURE() << "the dialog did not close";
            dialog->reject();
            return finish();
        }
        if (*lastAct < 0 || clock->elapsed() - *lastAct > 1000) {
            *lastAct = clock->elapsed();
            *actedOn = dialog;
            act(dialog);
        }
    });
    poll->start();
}
}  // namespace

TEST(CommonDlgsWOnQt, OpenDialogShowsTheFolderAndFiltersAndReturnsAWindowsPath) {
    testing_support::ScratchDriveC driveC;
    testing_support::writeFile(driveC.hostPath("Scans/Report.PDF"), "%PDF-1.4\n");
    testing_support::writeFile(driveC.hostPath("Scans/notes.txt"), "x");
    CommonDlgsW d;
    d.Filter = "PDF Files(*.pdf, *.PDF)|*.pdf|All Files(*.*)|*.*";
    d.InitDir = "c:\\scans";
    d.DialogTitle = "Pick one";
    QStringList filters;
    QString folder, caption;
    QStringList shownFiles;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        folder = dialog->directory().absolutePath();
        caption = dialog->windowTitle();
        // The PDF pattern shows Report.PDF (patterns ignore case) and hides notes.txt.
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const QModelIndex dir = model->index(driveC.hostPath("Scans"));
        testing_support::waitUntil([&] { return model->rowCount(dir) > 0; }, 5000);
        shownFiles.clear();
        for (int i = 0; i < model->rowCount(dir); ++i)
            shownFiles << model->index(i, 0, dir).data().toString();
        // Typed as a user would: selecting through the view needs the listing to have arrived.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("Report.PDF");
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(filters, QStringList({"PDF Files(*.pdf, *.PDF) (*.pdf)", "All Files(*.*) (*)"}));
    EXPECT_EQ(folder, driveC.hostPath("Scans"));
    EXPECT_EQ(caption, "Pick one");
    EXPECT_EQ(shownFiles, QStringList({"Report.PDF"}));
    EXPECT_EQ(d.FileName, "C:\\Scans\\Report.PDF");
    EXPECT_EQ(d.FileTitle, "Report.PDF");

    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, "C:\\Scans\\Report.PDF");
}

TEST(CommonDlgsWOnQt, ColourDialogStartsFromColorAndKeepsItsOwnCustomColours) {
    CommonDlgsW d;
    d.Color = 0x00336699;  // red 0x99, green 0x66, blue 0x33
    QColor shown;
    whenShown<QColorDialog>([&](QColorDialog* dialog) {
        shown = dialog->currentColor();
        QColorDialog::setCustomColor(2, QColor(1, 2, 3));
        dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(d.ShowColor(nullptr));
    EXPECT_EQ(shown, QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(qint32(d.Color), 0x302010);
    EXPECT_EQ(d.customColors()[2], 0x030201u);

    // Another object's dialog does not see these custom colours; the first one's next does.
    CommonDlgsW other;
    QColor otherCustom;
    whenShown<QColorDialog>([&](QColorDialog* dialog) {
        otherCustom = QColorDialog::customColor(2);
        dialog->reject();
    });
    EXPECT_FALSE(other.ShowColor(nullptr));
    EXPECT_EQ(otherCustom, QColor(0, 0, 0));
    QColor again;
    whenShown<QColorDialog>([&](QColorDialog* dialog) {
        again = QColorDialog::customColor(2);
        dialog->reject();
    });
    EXPECT_FALSE(d.ShowColor(nullptr));
    EXPECT_EQ(again, QColor(1, 2, 3));
    EXPECT_EQ(qint32(d.Color), 0x302010);
}
