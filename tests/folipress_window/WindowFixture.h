#pragma once
// A main window with every dialog scripted and drive C in a scratch folder.
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include "ScopedEnvironment.h"
#include "TestSupport.h"
#include "forms/FileDialogService.h"
#include "forms/FolderBrowserService.h"
#include "forms/MessageBox.h"
#include "forms/Shell.h"
#include "frmPrinting.h"

#include "CommonDlgsW.h"
#include "Globals.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join(" | ").toStdString() << '}';
}

struct WindowParts {
    // The window's examples are Western names beside Greek ones the code page cannot carry.
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    testing_support::ScratchDriveC driveC;
    forms::ScriptedUi ui;
    forms::ScriptedFileDialogs dialogs;
    forms::ScriptedFolderBrowser browser;
    forms::RecordingShell shell;
    std::unique_ptr<frmPrinting> w = std::make_unique<frmPrinting>();

    WindowParts() {
        // What the window's load makes; the load itself also takes the one-instance lock.
        if (!dlgOpen) dlgOpen = new CommonDlgsW;
    }

    QStringList texts(const QListWidget* list) const {
        QStringList out;
        for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
        return out;
    }
    // Puts the same entries into both lists, as if added.
    void fill(const QStringList& names) {
        for (const QString& n : names) {
            w->List1->addItem("work:" + n);
            w->List2->addItem(n);
        }
    }
    void select(int i) { w->List2->setCurrentRow(i); }
    int selected() const {
        const int r = w->List2->currentRow();
        return r >= 0 && w->List2->item(r)->isSelected() ? r : -1;
    }
    QString label() const { return w->lblPageNum->text(); }
    // A file list as a file manager offers it.
    static std::unique_ptr<QMimeData> fileDrop(const QStringList& hostPaths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& p : hostPaths) urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
};

struct WindowFixture : ::testing::Test, WindowParts {};
