// Adding files to the two lists: the open dialog, the folder search and drops.
#include "frmPrinting.h"

#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include "forms/FolderBrowserService.h"
#include "forms/MessageBox.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/RuntimeError.h"
#include "win/WinPath.h"

#if __has_include("CommonDlgsW.h")
#include "CommonDlgsW.h"
#define FOLIPRESS_HAS_DIALOGS 1
#endif

namespace {

const QString kCopyFolder = QStringLiteral("c:\\tmp");
const QString kAddFilter = QStringLiteral(
    "JPG Files(*.jpg)|*.jpg|JPEG Files(*.jpeg)|*.jpeg|TIF Files(*.tif)|*.tif|"
    "TIFF Files(*.tiff)|*.tiff|BMP Files(*.BMP)|*.bmp|GIF Files(*.gif)|*.gif|"
    "PNG Files(*.png)|*.png|All Files(*.*)|*.*");

// What an ANSI list box or the ANSI file interface makes of a name.
QString ansiForm(const QString& text) { return win::fromAnsi(win::toAnsi(text)); }

#ifdef FOLIPRESS_HAS_MODFUNCTION
bool existsAnsi(const QString& path) { return FileExistsAnsi(path); }
QString extensionOf(const QString& path) { return GetFilePart(path, 0); }
#else
bool existsAnsi(const QString& path) {
    const QString a = ansiForm(path);
    return win::fileExists(a) || win::folderExists(a);
}
QString extensionOf(const QString& path) { return path.mid(path.lastIndexOf('.') + 1); }
#endif

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

#ifdef FOLIPRESS_HAS_DIALOGS
// The program's one file dialog object.
CommonDlgsW& openDialog() {
    static CommonDlgsW dialog;
    return dialog;
}
#endif

}  // namespace

void frmPrinting::AddAnsiSafe(const QString& name) {
    if (win::ansiCanCarry(name) && existsAnsi(name)) {
        List1->addItem(name);
        List2->addItem(name);
        return;
    }
    // The later stages open files through the ANSI interface only: such a file goes into the
    // work list as a copy under a plain numbered name. Both lists stay in step: when no copy
    // can be made, the file goes into neither and the user is told.
    makeCopyFolder();
    const QString ext = extensionOf(name);
    QString copy;
    for (int n = 1; n <= copyNumberLimit; ++n) {
        const QString candidate = kCopyFolder + '\\' + QString::number(n) + '.' + ext;
        if (!existsAnsi(candidate)) {
            copy = candidate;
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
#ifdef FOLIPRESS_HAS_DIALOGS
    CommonDlgsW& dlg = openDialog();
    bool confirmed = false;
    win::skipOnError([&] { dlg.Filter = kAddFilter; });
    win::skipOnError([&] { confirmed = dlg.ShowOpen(this); });
    repaint();
    picDoor->hide();
    win::pumpMessages();
    FocusToolButtons();
    if (!confirmed) return;
    picText->hide();
    if (dlg.FileName.isEmpty()) return;
    makeCopyFolder();
    win::skipOnError([&] { AddAnsiSafe(dlg.FileName); });
    dlg.FileName.clear();
#endif
}

void frmPrinting::AddFolder() {
    QString chosen;
    win::skipOnError([&] {
        chosen = forms::folderBrowser().browseForFolder(
            this, QStringLiteral("Please select a folder:"), forms::BIF_RETURNONLYFSDIRS);
    });
    picText->show();
    lblText->setText(QStringLiteral("Searching Files..."));
    if (!chosen.isEmpty()) {
#ifdef FOLIPRESS_HAS_SEARCH
        // The browser hands back the path in the ANSI code page.
        win::skipOnError([&] { SearchImages(ansiForm(chosen), List1, List2); });
#endif
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
