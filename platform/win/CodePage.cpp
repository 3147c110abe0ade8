#include "win/CodePage.h"

#include "win/LocaleCodePage.h"

#include <iconv.h>

#include <cerrno>

namespace win {

namespace {

// Converts with iconv, replacing what cannot be converted by `replacement`. Input that is not
// valid in the source encoding is replaced one byte (or code unit) at a time.
QByteArray convert(const QByteArray& from, const char* fromCode, const char* toCode,
                   const QByteArray& replacement, int unitSize, bool* lossy) {
    if (lossy) *lossy = false;
    iconv_t cd = iconv_open(toCode, fromCode);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (lossy) *lossy = true;
        return QByteArray();
    }
    QByteArray out;
    QByteArray in = from;
    char* inp = in.data();
    size_t inLeft = size_t(in.size());
    char buf[4096];
    while (inLeft > 0) {
        char* outp = buf;
        size_t outLeft = sizeof buf;
        const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buf, int(sizeof buf - outLeft));
        if (r == size_t(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: one unit cannot be carried.
            if (lossy) *lossy = true;
            out.append(replacement);
            size_t skip = size_t(unitSize);
            if (unitSize == 2 && inLeft >= 4) {
                // A surrogate pair stands for one character: one replacement for both halves.
                const ushort hi = *reinterpret_cast<const ushort*>(inp);
                if (hi >= 0xD800 && hi < 0xDC00) skip = 4;
            }
            if (skip > inLeft) skip = inLeft;
            inp += skip;
            inLeft -= skip;
        }
    }
    char* outp = buf;
    size_t outLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &outp, &outLeft);
    out.append(buf, int(sizeof buf - outLeft));
    iconv_close(cd);
    return out;
}

QByteArray utf16Bytes(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

}  // namespace

QByteArray ansiCodePageName() {
    const std::string number = ansiCodePageSetting();
    if (number.empty()) return qgetenv("LUMIDOC_ACP").trimmed();  // an iconv name
    if (number == "1252") return "WINDOWS-1252";
    return "CP" + QByteArray::fromStdString(number);
}

QString ansiCodePageLabel() {
    const QByteArray name = ansiCodePageName();
    if (name == "WINDOWS-1252") return QStringLiteral("code page 1252");
    if (name.startsWith("CP")) return "code page " + QString::fromLatin1(name.mid(2));
    return QString::fromLatin1(name);
}

QByteArray toAnsi(const QString& text, bool* lost) {
    const QByteArray ansi =
        convert(utf16Bytes(text), "UTF-16LE", ansiCodePageName().constData(), "?", 2, lost);
    // A character the code page maps one way only comes back as another one.
    if (lost && !*lost) *lost = fromAnsi(ansi) != text;
    return ansi;
}

QString fromAnsi(const QByteArray& bytes) {
    const QByteArray u16 =
        convert(bytes, ansiCodePageName().constData(), "UTF-16LE", QByteArray("?\0", 2), 1, nullptr);
    return QString(reinterpret_cast<const QChar*>(u16.constData()), u16.size() / 2);
}

bool ansiCanCarry(const QString& text) {
    bool lost = false;
    toAnsi(text, &lost);
    return !lost;
}

}  // namespace win
