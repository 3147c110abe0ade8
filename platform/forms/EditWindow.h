#pragma once
// A window of the platform's "Edit" class: a single-line or multi-line text editor whose
// behaviour follows its window-style word and whose frame follows its extended style.
// Text goes in and out in the Edit's own form (line breaks as CR LF).
#include <QFrame>
#include <QString>

class QLineEdit;
class QPlainTextEdit;

namespace forms {

// Window-style bits.
enum WindowStyle : quint32 {
    WS_CHILD = 0x40000000,
    WS_VISIBLE = 0x10000000,
    WS_BORDER = 0x00800000,
    WS_VSCROLL = 0x00200000,
    WS_HSCROLL = 0x00100000,
    WS_THICKFRAME = 0x00040000,
    WS_TABSTOP = 0x00010000,
};
// Edit-style bits.
enum EditStyle : quint32 {
    ES_MULTILINE = 0x4,
    ES_AUTOVSCROLL = 0x40,
    ES_AUTOHSCROLL = 0x80,
    ES_NOHIDESEL = 0x100,
    ES_READONLY = 0x800,
    ES_WANTRETURN = 0x1000,
};
// Extended-style bits.
enum WindowExStyle : quint32 {
    WS_EX_WINDOWEDGE = 0x100,
    WS_EX_CLIENTEDGE = 0x200,
    WS_EX_STATICEDGE = 0x20000,
};

class EditWindow : public QFrame {
    Q_OBJECT
public:
    // The style word fixes single- or multi-line, wrapping and scroll bars for the window's life.
    EditWindow(quint32 style, quint32 exStyle, const QString& text, QWidget* parent);

    quint32 windowStyle() const { return style_; }
    quint32 windowExStyle() const { return exStyle_; }
    // Writes a style word; the frame follows at the next refreshFrame().
    void setWindowStyle(quint32 style) { style_ = style; }
    void setWindowExStyle(quint32 exStyle) { exStyle_ = exStyle; }
    // Redraws the frame from the style words.
    void refreshFrame();

    bool isMultiLine() const { return plain_ != nullptr; }
    QLineEdit* lineEdit() const { return line_; }
    QPlainTextEdit* plainTextEdit() const { return plain_; }
    QWidget* editor() const;

    // The text, with CR LF line breaks in a multi-line Edit.
    int textLength() const;
    QString text() const;
    void setText(const QString& text);
    // Selection in positions of text() (start == end: the caret).
    void setSel(int start, int end);
    int selStart() const;
    int selEnd() const;

    // The font the Edit draws with (the window keeps its own copy).
    void setEditFont(const QFont& font);

private:
    int toEditorPosition(int pos) const;
    int fromEditorPosition(int pos) const;

    quint32 style_;
    quint32 exStyle_;
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* plain_ = nullptr;
};

}  // namespace forms
