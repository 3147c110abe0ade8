#include "SettingsFile.h"

#include <QFile>

#include "forms/SequentialFile.h"
#include "win/FileSystem.h"
#include "win/WinPath.h"
#include "win/RuntimeError.h"

namespace SettingsFile {

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// The lines of the file: UTF-8 after the mark, else in the ANSI code page.
QStringList lines(const QString& winPath) {
    QFile f(win::toHostPath(winPath));
    if (!f.open(QIODevice::ReadOnly)) throw win::RuntimeError(win::kErrFileNotFound, "File not found");
    const QByteArray head = f.read(kUtf8Mark.size());
    QStringList out;
    if (head != kUtf8Mark) {
        forms::SequentialReader in(winPath);
        while (out.size() < 5 && !in.atEnd()) out << in.nextLine();
        return out;
    }
    QByteArray data = f.readAll();
    const int eofMark = data.indexOf('\x1a');
    if (eofMark >= 0) data.truncate(eofMark);
    for (QByteArray line : data.replace("\r\n", "\n").replace('\r', '\n').split('\n')) {
        out << QString::fromUtf8(line);
    }
    // What follows the last line end is no line; blank lines at the end are none either.
    while (!out.isEmpty() && out.last().trimmed().isEmpty()) out.removeLast();
    return out;
}

}  // namespace

void Write(const QString& winPath, const QString& title, const QString& author,
           const QString& subject, const QString& keywords, int quality) {
    QByteArray out = kUtf8Mark;
    for (const QString& field : {title, author, subject, keywords, QString::number(quality)}) {
        out += '"' + field.toUtf8() + "\"\r\n";
    }
    win::replaceFile(winPath, out);
}

QStringList Read(const QString& winPath) {
    QStringList fields;
    for (QString line : lines(winPath)) {
        if (fields.size() >= 5) break;
        int start = 0;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
        line = line.mid(start);
        if (line.startsWith('"')) {
            const int close = line.lastIndexOf('"');
            fields << (close > 0 ? line.mid(1, close - 1) : line.mid(1));
        } else {
            const int comma = line.indexOf(',');
            QString field = comma < 0 ? line : line.left(comma);
            while (field.endsWith(' ') || field.endsWith('\t')) field.chop(1);
            fields << field;
        }
    }
    return fields;
}

bool ParseQuality(const QString& field, int& quality) {
    bool ok = false;
    const double value = field.trimmed().toDouble(&ok);
    if (!ok) return false;
    short whole = 0;
    if (!win::skipOnError([&] { whole = win::roundToInt16(value); })) return false;
    if (whole < 0 || whole > 100) return false;
    quality = whole;
    return true;
}

}  // namespace SettingsFile
