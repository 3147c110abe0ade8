#include "forms/MessageBox.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "forms/App.h"

namespace forms {

namespace {

class QtUi : public UiService {
public:
    int messageBox(const QString& prompt, int style, const QString& title) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title);
        box.setText(prompt);
        switch (style & 0x70) {
            case vbCritical: box.setIcon(QMessageBox::Critical); break;
            case vbQuestion: box.setIcon(QMessageBox::Question); break;
            case vbExclamation: box.setIcon(QMessageBox::Warning); break;
            case vbInformation: box.setIcon(QMessageBox::Information); break;
            default: box.setIcon(QMessageBox::NoIcon); break;
        }
        struct B { QString text; int result; };
        QList<B> buttons;
        switch (style & 0x7) {
            case vbOKCancel: buttons = {{"OK", vbOK}, {"Cancel", vbCancel}}; break;
            case vbAbortRetryIgnore:
                buttons = {{"&Abort", vbAbort}, {"&Retry", vbRetry}, {"&Ignore", vbIgnore}};
                break;
            case vbYesNoCancel: buttons = {{"&Yes", vbYes}, {"&No", vbNo}, {"Cancel", vbCancel}}; break;
            case vbYesNo: buttons = {{"&Yes", vbYes}, {"&No", vbNo}}; break;
            case vbRetryCancel: buttons = {{"&Retry", vbRetry}, {"Cancel", vbCancel}}; break;
            default: buttons = {{"OK", vbOK}}; break;
        }
        QList<QPushButton*> made;
        for (const B& b : buttons) made << box.addButton(b.text, QMessageBox::ActionRole);
        const int def = (style & vbDefaultButton2) ? 1 : 0;
        if (def < made.size()) box.setDefaultButton(made[def]);
        box.exec();
        for (int i = 0; i < made.size(); ++i) {
            if (box.clickedButton() == made[i]) return buttons[i].result;
        }
        // Closed with Escape or the close box: the runtime reports Cancel, or OK for OK-only.
        return (style & 0x7) == vbOKOnly ? vbOK : ((style & 0x7) == vbYesNo ? vbNo : vbCancel);
    }

    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        bool ok = false;
        const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                                   QLineEdit::Normal, defaultText, &ok);
        return ok ? text : QString();
    }
};

QtUi& qtUi() {
    static QtUi u;
    return u;
}

UiService*& current() {
    static UiService* s = nullptr;
    return s;
}

int firstButton(int style) {
    switch (style & 0x7) {
        case vbOKCancel: return vbOK;
        case vbAbortRetryIgnore: return vbAbort;
        case vbYesNoCancel:
        case vbYesNo: return vbYes;
        case vbRetryCancel: return vbRetry;
        default: return vbOK;
    }
}

}  // namespace

UiService& ui() { return current() ? *current() : qtUi(); }
void setUiService(UiService* service) { current() = service; }

int msgBox(const QString& prompt, int style, const QString& title) {
    return ui().messageBox(prompt, style, title.isEmpty() ? App::title() : title);
}

QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return ui().inputBox(prompt, title.isEmpty() ? App::title() : title, defaultText);
}

ScriptedUi::ScriptedUi() { setUiService(this); }
ScriptedUi::~ScriptedUi() {
    if (current() == this) setUiService(nullptr);
}

int ScriptedUi::messageBox(const QString& prompt, int style, const QString& title) {
    Shown s{"msgbox", prompt, title, style};
    shown << s;
    if (onShow) onShow(s);
    return messageAnswers.isEmpty() ? firstButton(style) : messageAnswers.takeFirst();
}

QString ScriptedUi::inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) {
    Shown s{"inputbox", prompt, title, 0};
    shown << s;
    if (onShow) onShow(s);
    Q_UNUSED(defaultText);
    return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
}

}  // namespace forms
