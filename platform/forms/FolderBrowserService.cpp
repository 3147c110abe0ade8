#include "forms/FolderBrowserService.h"

#include <QFileDialog>

#include "win/WinPath.h"

namespace forms {

namespace {

class QtFolderBrowser : public FolderBrowserService {
public:
    QString browseForFolder(QWidget* owner, const QString& title, quint32 flags) override {
        Q_UNUSED(flags);  // the dialog offers file-system folders only
        const QString chosen = QFileDialog::getExistingDirectory(
            owner, title, QString(), QFileDialog::ShowDirsOnly);
        return chosen.isEmpty() ? QString() : win::fromHostPath(chosen);
    }
};

FolderBrowserService*& current() {
    static FolderBrowserService* s = nullptr;
    return s;
}

}  // namespace

FolderBrowserService& folderBrowser() {
    static QtFolderBrowser qt;
    return current() ? *current() : qt;
}

void setFolderBrowserService(FolderBrowserService* service) { current() = service; }

ScriptedFolderBrowser::ScriptedFolderBrowser() { setFolderBrowserService(this); }

ScriptedFolderBrowser::~ScriptedFolderBrowser() {
    if (current() == this) setFolderBrowserService(nullptr);
}

QString ScriptedFolderBrowser::browseForFolder(QWidget* owner, const QString& title,
                                               quint32 flags) {
    const FolderBrowserRequest r{owner, title, flags};
    requests << r;
    if (onShow) onShow(r);
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

void ScriptedFolderBrowser::answerFolder(const QString& path) {
    answers << (win::isDrivePath(path) ? path : win::fromHostPath(path));
}

void ScriptedFolderBrowser::answerCancel() { answers << QString(); }

}  // namespace forms
