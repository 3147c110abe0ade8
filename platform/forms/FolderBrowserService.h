#pragma once
// The shell's folder browser, through a service that tests replace with a scripted one.
// The chosen folder comes back as a Windows path (Z:\... or C:\...), "" when cancelled.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace forms {

// Browser flags the dialog acts on.
enum FolderBrowserFlag : quint32 {
    BIF_RETURNONLYFSDIRS = 0x1,  // file-system folders only
};

struct FolderBrowserRequest {
    QWidget* owner = nullptr;
    QString title;  // text shown above the folder tree
    quint32 flags = 0;
};

class FolderBrowserService {
public:
    virtual ~FolderBrowserService() = default;
    virtual QString browseForFolder(QWidget* owner, const QString& title, quint32 flags) = 0;
};

// The service in force (the Qt one unless a test installed another).
FolderBrowserService& folderBrowser();
// Installs a service (not owned); nullptr brings back the Qt one.
void setFolderBrowserService(FolderBrowserService* service);

// For tests: records every request and answers from a queue (default: cancel).
class ScriptedFolderBrowser : public FolderBrowserService {
public:
    ScriptedFolderBrowser();
    ~ScriptedFolderBrowser() override;
    QString browseForFolder(QWidget* owner, const QString& title, quint32 flags) override;

    // A chosen folder: a Windows path or a host path (host paths are turned into the Windows
    // form the real browser returns).
    void answerFolder(const QString& path);
    void answerCancel();

    QStringList answers;  // "" stands for a cancel
    QList<FolderBrowserRequest> requests;
    // Runs when the browser is shown, before it answers (lets a test act "while" it is up).
    std::function<void(const FolderBrowserRequest&)> onShow;
};

}  // namespace forms
