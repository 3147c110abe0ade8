#include "forms/EditWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace forms {

namespace {

// A single-line Edit without automatic horizontal scrolling takes no more text than fits.
class FixedWidthLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    bool limitToWidth = false;

protected:
    void keyPressEvent(QKeyEvent* event) override { guarded([&] { QLineEdit::keyPressEvent(event); }); }
    void inputMethodEvent(QInputMethodEvent* event) override {
        guarded([&] { QLineEdit::inputMethodEvent(event); });
    }

private:
    template <class Edit>
    void guarded(Edit edit) {
        if (!limitToWidth) return edit();
        const QString before = text();
        const int cursor = cursorPosition();
        edit();
        if (text().size() > before.size() && !fits(text())) {
            setText(before);
            setCursorPosition(cursor);
            QApplication::beep();
        }
    }
    bool fits(const QString& t) const {
        const QMargins m = textMargins();
        const int room = contentsRect().width() - m.left() - m.right() - 4;
        return fontMetrics().horizontalAdvance(t) <= room;
    }
};

// A multi-line Edit without automatic vertical scrolling takes no line break once its lines fill
// the window.
class FixedHeightTextEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    bool limitToHeight = false;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (limitToHeight && lineBreak && !isReadOnly()) {
            const int lineHeight = std::max(1, fontMetrics().lineSpacing());
            const int visibleLines = std::max(1, viewport()->height() / lineHeight);
            if (document()->blockCount() + 1 > visibleLines) {
                QApplication::beep();
                return;
            }
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

}  // namespace

EditWindow::EditWindow(quint32 style, quint32 exStyle, const QString& text, QWidget* parent)
    : QFrame(parent), style_(style), exStyle_(exStyle) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (style & ES_MULTILINE) {
        auto* plain = new FixedHeightTextEdit(this);
        plain->limitToHeight = !(style & ES_AUTOVSCROLL);
        plain_ = plain;
        plain_->setFrameStyle(QFrame::NoFrame);
        // Without automatic horizontal scrolling, lines wrap at the window's edge.
        plain_->setLineWrapMode((style & ES_AUTOHSCROLL) ? QPlainTextEdit::NoWrap
                                                         : QPlainTextEdit::WidgetWidth);
        plain_->setHorizontalScrollBarPolicy((style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                  : Qt::ScrollBarAlwaysOff);
        plain_->setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                : Qt::ScrollBarAlwaysOff);
        plain_->setTabChangesFocus(true);
        layout->addWidget(plain_);
    } else {
        auto* line = new FixedWidthLineEdit(this);
        line->limitToWidth = !(style & ES_AUTOHSCROLL);
        line->setFrame(false);
        line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        line_ = line;
        layout->addWidget(line_);
    }
    editor()->setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    setFocusProxy(editor());
    setText(text);
    refreshFrame();
    setVisible(style & WS_VISIBLE);
}

QWidget* EditWindow::editor() const {
    return plain_ ? static_cast<QWidget*>(plain_) : static_cast<QWidget*>(line_);
}

void EditWindow::refreshFrame() {
    // Edges add up: a window edge is raised, a client edge sunken by two pixels, a static edge
    // sunken by one; a plain border is one dark line.
    int width = 0;
    if (exStyle_ & WS_EX_WINDOWEDGE) width += 2;
    if (exStyle_ & WS_EX_CLIENTEDGE) width += 2;
    if (exStyle_ & WS_EX_STATICEDGE) width += 1;
    if (width > 0) {
        const bool sunken = exStyle_ & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
        setFrameStyle(QFrame::Panel | (sunken ? QFrame::Sunken : QFrame::Raised));
        setLineWidth(width);
    } else if (style_ & (WS_BORDER | WS_THICKFRAME)) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth((style_ & WS_THICKFRAME) ? 3 : 1);
    } else {
        setFrameStyle(QFrame::NoFrame);
        setLineWidth(0);
    }
    update();
}

int EditWindow::textLength() const { return text().size(); }

QString EditWindow::text() const {
    if (line_) return line_->text();
    return plain_->toPlainText().replace('\n', QStringLiteral("\r\n"));
}

void EditWindow::setText(const QString& text) {
    if (line_) {
        line_->setText(text);
        line_->setCursorPosition(0);
    } else {
        plain_->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
}

int EditWindow::toEditorPosition(int pos) const {
    const QString t = text();
    pos = (pos < 0 || pos > t.size()) ? int(t.size()) : pos;
    if (line_) return pos;
    // Each CR LF of the Edit's text is one line break in the editor.
    return pos - int(t.left(pos).count(QStringLiteral("\r\n")));
}

int EditWindow::fromEditorPosition(int pos) const {
    if (line_) return pos;
    const QString editorText = plain_->toPlainText();
    return pos + int(editorText.left(pos).count('\n'));
}

void EditWindow::setSel(int start, int end) {
    const int s = toEditorPosition(start);
    const int e = toEditorPosition(end);
    if (line_) {
        line_->setSelection(s, e - s);
        if (s == e) line_->setCursorPosition(s);
        return;
    }
    QTextCursor c = plain_->textCursor();
    c.setPosition(s);
    c.setPosition(e, QTextCursor::KeepAnchor);
    plain_->setTextCursor(c);
}

int EditWindow::selStart() const {
    if (line_) return line_->hasSelectedText() ? line_->selectionStart() : line_->cursorPosition();
    return fromEditorPosition(plain_->textCursor().selectionStart());
}

int EditWindow::selEnd() const {
    if (line_)
        return line_->hasSelectedText() ? line_->selectionEnd() : line_->cursorPosition();
    return fromEditorPosition(plain_->textCursor().selectionEnd());
}

void EditWindow::setEditFont(const QFont& font) {
    editor()->setFont(font);
    editor()->update();
}

}  // namespace forms
