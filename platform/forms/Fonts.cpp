#include "forms/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <cstdlib>

#include "win/CodePage.h"

namespace forms {

QFont StdFont::toQFont() const {
    QFont f(Name);
    f.setPointSizeF(Size > 0 ? Size : 8.25);
    f.setBold(Bold);
    f.setItalic(Italic);
    f.setUnderline(Underline);
    f.setStrikeOut(Strikethrough);
    return f;
}

qint32 mulDiv(qint32 a, qint32 b, qint32 c) {
    if (c == 0) return -1;
    const qint64 num = qint64(a) * qint64(b);
    const qint64 q = num / c;
    const qint64 r = num % c;
    // Round halves away from zero.
    qint64 result = q;
    if (2 * std::llabs(r) >= std::llabs(qint64(c))) result += ((num < 0) != (c < 0)) ? -1 : 1;
    if (result > INT32_MAX || result < INT32_MIN) return -1;
    return qint32(result);
}

QByteArray faceNameBytes(const QString& name) {
    QByteArray bytes = win::toAnsi(name);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes.truncate(nul);
    return bytes.left(kFaceNameBytes - 1);
}

namespace {

QFontDatabase::WritingSystem writingSystemOf(quint8 charset) {
    switch (charset) {
        case 128: return QFontDatabase::Japanese;
        case 129: case 130: return QFontDatabase::Korean;
        case 134: return QFontDatabase::SimplifiedChinese;
        case 136: return QFontDatabase::TraditionalChinese;
        case 161: return QFontDatabase::Greek;
        case 163: return QFontDatabase::Vietnamese;
        case 177: return QFontDatabase::Hebrew;
        case 178: return QFontDatabase::Arabic;
        case 204: return QFontDatabase::Cyrillic;
        case 222: return QFontDatabase::Thai;
        default: return QFontDatabase::Latin;
    }
}

}  // namespace

QFont createFontIndirect(const LogFont& r) {
    QString family = win::fromAnsi(r.lfFaceName);
    if (family.isEmpty()) {
        const QStringList families = QFontDatabase::families(writingSystemOf(r.lfCharSet));
        if (!families.isEmpty()) family = families.first();
    }
    QFont f(family);
    if (r.lfHeight != 0) {
        // A negative height is the character height; a positive one the cell height, of which
        // the character takes about seven eighths.
        f.setPixelSize(std::max(1, r.lfHeight < 0 ? -r.lfHeight : (r.lfHeight * 7 + 4) / 8));
    }
    if (r.lfWeight > 0) f.setWeight(QFont::Weight(std::clamp(int(r.lfWeight), 1, 1000)));
    f.setItalic(r.lfItalic != 0);
    f.setUnderline(r.lfUnderline != 0);
    f.setStrikeOut(r.lfStrikeOut != 0);
    if (r.lfQuality == NONANTIALIASED_QUALITY) f.setStyleStrategy(QFont::NoAntialias);
    if (r.lfQuality == ANTIALIASED_QUALITY) f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

}  // namespace forms
