#pragma once
// Unicode Open, Save and Colour dialogs. The caller fills the public fields, calls ShowOpen,
// ShowSave or ShowColor with the owner window, and reads the choice back from the same fields.
// File names are Windows paths (host files come back as Z:\... or C:\...).
#include <QList>
#include <QString>

class QWidget;

class CommonDlgsW {
public:
    // `Color`: an RGB value (0x00BBGGRR). Writing a negative value names a system colour: the
    // colour stored is that system colour's RGB value (number = the value's low 16 bits).
    class ColorValue {
    public:
        ColorValue& operator=(qint32 value);
        operator qint32() const { return value_; }

    private:
        qint32 value_ = 0;
    };

    CommonDlgsW();

    // Flags handed to the file dialogs; after a confirmed file dialog, the flags it returned.
    qint32 Flags = 0;
    QString DefaultExt;        // appended by the dialog when the name typed has none
    QString DialogTitle;       // caption; the dialog's own when empty
    QString Title;             // out: the chosen file's title
    QString FileName;          // in: name shown first; out: the chosen path
    QString FileTitle;         // out: the chosen file's name without folder
    QString Filter;            // display texts and patterns alternating, separated by "|"
    qint32 FilterIndex = 1;    // 1-based filter selected when the dialog opens
    QString InitDir;           // folder shown first
    qint32 MaxFileSize = 256;  // capacity of the file-name buffer, in characters
    ColorValue Color;

    // Each shows its dialog owned by `owner` and returns true when the user confirmed. A
    // FileName or InitDir too long for its buffer raises an invalid-argument RuntimeError
    // before any dialog opens.
    bool ShowColor(QWidget* owner);
    bool ShowOpen(QWidget* owner);
    bool ShowSave(QWidget* owner);

    // The 16 custom colours the colour dialog offers, kept between colour dialogs.
    const QList<quint32>& customColors() const { return customColors_; }

    // Characters in the file-name and initial-folder buffers.
    static constexpr int kBufferChars = 256;

private:
    bool showFileDialog(QWidget* owner, bool save);

    QList<quint32> customColors_;
};
