#include "forms/Shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

#include "win/WinPath.h"

namespace forms {

namespace {

class DesktopShell : public ShellService {
public:
    bool open(const QString& target) override {
        if (target.contains("://")) return QDesktopServices::openUrl(QUrl(target));
        return QDesktopServices::openUrl(QUrl::fromLocalFile(win::toHostPath(target)));
    }
    void beep() override { QApplication::beep(); }
};

ShellService*& current() {
    static ShellService* s = nullptr;
    return s;
}

}  // namespace

ShellService& shell() {
    static DesktopShell desktop;
    return current() ? *current() : desktop;
}

void setShellService(ShellService* service) { current() = service; }

RecordingShell::RecordingShell() { setShellService(this); }
RecordingShell::~RecordingShell() {
    if (current() == this) setShellService(nullptr);
}

}  // namespace forms
