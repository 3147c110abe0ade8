#pragma once
// Scaffolding for the viewer window's tests: a drive C and a program folder of their own,
// scripted message boxes, file dialogs and shell, and a way to act inside a modal dialog.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "TestSupport.h"
#include "forms/App.h"
#include "forms/FileDialogService.h"
#include "forms/MessageBox.h"
#include "forms/Shell.h"
#include "win/WinPath.h"

namespace form_test {

// Calls `act` with the modal dialog as soon as one is up (the polling timer runs inside the
// dialog's own event loop). `seen` tells whether it happened.
class WhenModal {
public:
    explicit WhenModal(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                timer_.stop();
                seen = true;
                act_(w);
            }
        });
        timer_.start();
    }
    bool seen = false;

private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
};

struct Scene {
    // The instance lock lives in the runtime folder: one of its own, so test processes that
    // run side by side are not each other's "previous instance".
    Scene() : runtimeBefore(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        forms::App::setPathOverride(win::fromHostPath(programDir.path()));
    }
    ~Scene() {
        forms::App::setPathOverride(QString());
        if (runtimeBefore.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtimeBefore);
    }

    QString program(const QString& name) const { return programDir.path() + "/" + name; }
    QString driveC(const QString& relative) const { return drive.hostPath(relative); }
    QString docs(const QString& name) const { return docsDir.path() + "/" + name; }

    QByteArray runtimeBefore;
    QTemporaryDir runtimeDir;
    testing_support::ScratchDriveC drive;
    QTemporaryDir programDir;
    QTemporaryDir docsDir;
    forms::ScriptedUi ui;
    forms::ScriptedFileDialogs dialogs;
    forms::RecordingShell shell;
};

}  // namespace form_test
