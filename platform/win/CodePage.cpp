#include "win/CodePage.h"

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

QByteArray environmentLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray value = qgetenv(name).trimmed();
        if (!value.isEmpty()) return value;
    }
    return QByteArray();
}

int codePageForLocale(const QByteArray& locale) {
    // language[_TERRITORY][.codeset][@modifier]
    const int at = locale.indexOf('@');
    const QByteArray modifier = at < 0 ? QByteArray() : locale.mid(at + 1).toLower();
    QByteArray name = at < 0 ? locale : locale.left(at);
    const int dot = name.indexOf('.');
    if (dot >= 0) name.truncate(dot);
    const int bar = name.indexOf('_');
    const QByteArray language = (bar < 0 ? name : name.left(bar)).toLower();
    const QByteArray territory = bar < 0 ? QByteArray() : name.mid(bar + 1).toUpper();

    // Languages written in either script go by the script the locale names.
    if (modifier == "latin" && language == "sr") return 1250;
    if (modifier == "cyrillic" && (language == "uz" || language == "az" || language == "bs"))
        return 1251;
    if (language == "zh")
        return (territory == "TW" || territory == "HK" || territory == "MO") ? 950 : 936;

    static const struct {
        const char* language;
        int codePage;
    } kByLanguage[] = {
        {"th", 874},   {"ja", 932},   {"ko", 949},
        {"pl", 1250},  {"cs", 1250},  {"sk", 1250},  {"hu", 1250},  {"sl", 1250},
        {"hr", 1250},  {"ro", 1250},  {"sq", 1250},  {"bs", 1250},  {"tk", 1250},
        {"ru", 1251},  {"uk", 1251},  {"be", 1251},  {"bg", 1251},  {"sr", 1251},
        {"mk", 1251},  {"kk", 1251},  {"ky", 1251},  {"tt", 1251},  {"mn", 1251},
        {"ba", 1251},  {"sah", 1251}, {"tg", 1251},
        {"el", 1253},
        {"tr", 1254},  {"az", 1254},  {"uz", 1254},
        {"he", 1255},  {"iw", 1255},  {"yi", 1255},
        {"ar", 1256},  {"fa", 1256},  {"ur", 1256},  {"ug", 1256},  {"ckb", 1256},
        {"et", 1257},  {"lv", 1257},  {"lt", 1257},
        {"vi", 1258},
    };
    for (const auto& entry : kByLanguage) {
        if (language == entry.language) return entry.codePage;
    }
    return 1252;  // "C", "POSIX" and every other language
}

QByteArray ansiCodePageName() {
    QByteArray acp = qgetenv("LUMIDOC_ACP").trimmed();
    if (acp.isEmpty()) acp = QByteArray::number(codePageForLocale(environmentLocale()));
    if (acp == "1252") return "WINDOWS-1252";
    bool numeric = false;
    acp.toInt(&numeric);
    return numeric ? "CP" + acp : acp;
}

QString ansiCodePageLabel() {
    const QByteArray name = ansiCodePageName();
    if (name == "WINDOWS-1252") return QStringLiteral("code page 1252");
    if (name.startsWith("CP")) return "code page " + QString::fromLatin1(name.mid(2));
    return QString::fromLatin1(name);
}

QByteArray toAnsi(const QString& text) {
    return convert(utf16Bytes(text), "UTF-16LE", ansiCodePageName().constData(), "?", 2, nullptr);
}

QString fromAnsi(const QByteArray& bytes) {
    const QByteArray u16 =
        convert(bytes, ansiCodePageName().constData(), "UTF-16LE", QByteArray("?\0", 2), 1, nullptr);
    return QString(reinterpret_cast<const QChar*>(u16.constData()), u16.size() / 2);
}

bool ansiCanCarry(const QString& text) {
    bool lossy = false;
    const QByteArray a =
        convert(utf16Bytes(text), "UTF-16LE", ansiCodePageName().constData(), "?", 2, &lossy);
    if (lossy) return false;
    return fromAnsi(a) == text;
}

}  // namespace win
