#pragma once
// Message boxes and input boxes of the forms runtime, through a service that tests replace
// with a scripted one.
#include <QList>

#include <functional>
#include <QString>
#include <QStringList>

class QWidget;

namespace forms {

// Style word: buttons + icon + default button, as the runtime combines them.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
};
enum MsgBoxResult { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

class UiService {
public:
    virtual ~UiService() = default;
    virtual int messageBox(const QString& prompt, int style, const QString& title) = 0;
    // The text typed, or "" when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
};

// The service in force (the Qt one unless a test installed another).
UiService& ui();
// Installs a service (not owned); nullptr brings back the Qt one.
void setUiService(UiService* service);

// MsgBox: an empty title is the program's title.
int msgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString());
QString inputBox(const QString& prompt, const QString& title = QString(),
                 const QString& defaultText = QString());

// For tests: records everything shown and answers from queues.
class ScriptedUi : public UiService {
public:
    struct Shown {
        QString kind;  // "msgbox" or "inputbox"
        QString prompt;
        QString title;
        int style = 0;
    };
    ScriptedUi();
    ~ScriptedUi() override;
    int messageBox(const QString& prompt, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;

    QList<int> messageAnswers;     // next answers; default: OK for OK-only, else the first button
    QStringList inputAnswers;      // next typed texts; default: ""
    QList<Shown> shown;
    // Runs when a box is shown, before it answers (lets a test act "while" a box is up).
    std::function<void(const Shown&)> onShow;
};

}  // namespace forms
