#pragma once
// Fonts as the forms runtime and the window layer describe them: the font object of a form or
// control (name, point size, attributes, character set) and the logical-font record from which
// a font for a window is made.
#include <QByteArray>
#include <QFont>
#include <QString>

class QPaintDevice;

namespace forms {

// The font of a form or control.
struct StdFont {
    QString Name;
    double Size = 8.25;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    qint16 Charset = 0;

    // The font at that point size (the paint device's resolution applies).
    QFont toQFont() const;
};

// Logical-font record (the ANSI form: the face name is ANSI bytes, at most 31).
struct LogFont {
    qint32 lfHeight = 0;  // < 0: character height in pixels; > 0: cell height
    qint32 lfWidth = 0;
    qint32 lfEscapement = 0;
    qint32 lfOrientation = 0;
    qint32 lfWeight = 0;
    quint8 lfItalic = 0;
    quint8 lfUnderline = 0;
    quint8 lfStrikeOut = 0;
    quint8 lfCharSet = 0;
    quint8 lfOutPrecision = 0;
    quint8 lfClipPrecision = 0;
    quint8 lfQuality = 0;
    quint8 lfPitchAndFamily = 0;
    QByteArray lfFaceName;
};

enum FontQuality : quint8 {
    DEFAULT_QUALITY = 0,
    DRAFT_QUALITY = 1,
    PROOF_QUALITY = 2,
    NONANTIALIASED_QUALITY = 3,
    ANTIALIASED_QUALITY = 4,
};

constexpr int kFaceNameBytes = 32;  // the face-name field, NUL included

// a * b / c rounded to the nearest integer (halves away from zero); -1 when c is 0.
qint32 mulDiv(qint32 a, qint32 b, qint32 c);

// The face name as the record holds it: ANSI bytes cut to 31.
QByteArray faceNameBytes(const QString& name);

// The font a logical-font record makes. With no face name, the character set picks a family
// that writes it.
QFont createFontIndirect(const LogFont& record);

}  // namespace forms
