// Adding files to the two lists: the open dialog, the folder search and drops.
#include "frmPrinting.h"

#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include "CommonDlgsW.h"
#include "FileSearch.h"
#include "Globals.h"
#include "modFunction.h"
#include "forms/FolderBrowserService.h"
#include "forms/MessageBox.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/RuntimeError.h"
#include "win/WinPath.h"

namespace {

const QString kCopyFolder = QStringLiteral("c:\\tmp");
const QString kAddFilter = QStringLiteral(
    "JPG Files(*.jpg)|*.jpg|JPEG Files(*.jpeg)|*.jpeg|TIF Files(*.tif)|*.tif|"
    "TIFF Files(*.tiff)|*.tiff|BMP Files(*.BMP)|*.bmp|GIF Files(*.gif)|*.gif|"
    "PNG Files(*.png)|*.png|All Files(*.*)|*.*");

// What an ANSI list box or the ANSI file interface makes of a name.
QString ansiForm(const QString& text) { return win::fromAnsi(win::toAnsi(text)); }

void makeCopyFolder() {
    win::skipOnError([] { win::makeFolder(kCopyFolder); });
}

// The names of a dropped file list as Windows paths; empty when the data holds no files.
QStringList droppedNames(const QMimeData* data) {
    QStringList names;
    if (!data || !data->hasUrls()) return names;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QString host = url.toLocalFile();
        while (host.size() > 1 && host.endsWith('/')) host.chop(1);  // a dropped folder
        names << win::fromHostPath(host);
    }
    return names;
}

bool offersFiles(const QMimeData* data) { return !droppedNames(data).isEmpty(); }

// Image endings the drop hint accepts.
bool looksLikeImage(const QString& name) {
    const QString end3 = name.right(3).toUpper();
    const QString end4 = name.right(4).toUpper();
    return end3 == "BMP" || end3 == "JPG" || end3 == "GIF" || end3 == "PNG" || end3 == "TIF" ||
           end4 == "TIFF" || end4 == "JPEG";
}

// The program's one file dialog object (made at load).
CommonDlgsW& openDialog() {
    if (!dlgOpen)
        throw win::RuntimeError(91, "Object variable or With block variable not set");
    return *dlgOpen;
}

}  // namespace

void frmPrinting::AddAnsiSafe(const QString& name) {
    if (win::ansiCanCarry(name) && modFunction::FileExistsAnsi(name)) {
        List1->addItem(name);
        List2->addItem(name);
        return;
    }
    // The later stages open files through the ANSI interface only: such a file goes into the
    // work list as a copy under a plain numbered name. Both lists stay in step: when no copy
    // can be made, the file goes into neither and the user is told.
    makeCopyFolder();
    // The copy keeps the file's extension. A file name without a dot gets a copy without one:
    // the text after the path's last dot would be a piece of the path ("b\scan" of
    // "D:\a.b\scan"), which names no file in c:\tmp.
    const QString fileName = modFunction::GetFilePart(name, 1);
    const QString extension =
        fileName.contains('.') ? '.' + modFunction::GetFilePart(fileName, 0) : QString();
    // A number is taken when a copy of any extension has it, so the copies count 1, 2, 3...
    QString copy;
    for (int n = 1; n <= copyNumberLimit; ++n) {
        const QString number = kCopyFolder + '\\' + QString::number(n);
        if (!modFunction::FileExistsAnsi(number) && !modFunction::FileExistsAnsi(number + ".*")) {
            copy = number + extension;
            break;
        }
    }
    if (copy.isEmpty()) {
        forms::msgBox(QStringLiteral("No free name is left in c:\\tmp for a copy of this file, "
                                     "so it was not added:\r\n") + ansiForm(name),
                      forms::vbExclamation, QStringLiteral("Add File"));
        FocusToolButtons();
        return;
    }
    if (!win::skipOnError([&] { win::copyFile(name, copy); })) {
        forms::msgBox(QStringLiteral("This file could not be read, so it was not added:\r\n") +
                          ansiForm(name),
                      forms::vbExclamation, QStringLiteral("Add File"));
        FocusToolButtons();
        return;
    }
    List1->addItem(copy);
    List2->addItem(ansiForm(name));
}

void frmPrinting::AddFile() {
    bool confirmed = false;
    win::skipOnError([&] { openDialog().Filter = kAddFilter; });
    win::skipOnError([&] { confirmed = openDialog().ShowOpen(this); });
    repaint();
    picDoor->hide();
    win::pumpMessages();
    FocusToolButtons();
    if (!confirmed) return;
    picText->hide();
    if (openDialog().FileName.isEmpty()) return;
    makeCopyFolder();
    win::skipOnError([&] { AddAnsiSafe(openDialog().FileName); });
    openDialog().FileName.clear();
}

void frmPrinting::AddFolder() {
    QString chosen;
    win::skipOnError([&] {
        chosen = forms::folderBrowser().browseForFolder(
            this, QStringLiteral("Please select a folder:"), forms::BIF_RETURNONLYFSDIRS);
    });
    picText->show();
    lblText->setText(QStringLiteral("Searching Files..."));
    // The browser hands back the path in the ANSI code page. One that lost characters names
    // another folder, or none: it is searched no more than a folder that cannot be listed.
    if (!chosen.isEmpty() && win::ansiCanCarry(chosen)) {
        win::skipOnError([&] { FileSearch::SearchImages(chosen, List1, List2); });
    }
    lblText->setText(QStringLiteral("Drag && Drop Files Here"));
    picText->setVisible(List1->count() == 0);
    repaint();
    FocusToolButtons();
}

void frmPrinting::AddDroppedFiles(const QMimeData* Data) {
    for (const QString& name : droppedNames(Data)) AddAnsiSafe(name);
}

void frmPrinting::List2_OLEDragDrop(const QMimeData* Data) {
    makeCopyFolder();
    if (offersFiles(Data)) win::skipOnError([&] { AddDroppedFiles(Data); });
    if (List1->count() > 0) picText->hide();
}

void frmPrinting::picDoor_OLEDragDrop(const QMimeData* Data) {
    picDoor->hide();
    List2_OLEDragDrop(Data);
}

void frmPrinting::picText_OLEDragDrop(const QMimeData* Data) {
    // Only image endings count here. Names the ANSI code page cannot carry get a copy, as
    // everywhere else, so that the work list names a file the conversion can open.
    for (const QString& name : droppedNames(Data)) {
        if (looksLikeImage(name)) win::skipOnError([&] { AddAnsiSafe(name); });
    }
    if (List1->count() > 0) picText->hide();
}

void frmPrinting::List2_OLEDragOver() { picText->hide(); }
