#include "SettingsFile.h"

#include "forms/SequentialFile.h"
#include "win/RuntimeError.h"

namespace SettingsFile {

void Write(const QString& winPath, const QString& title, const QString& author,
           const QString& subject, const QString& keywords, int quality) {
    forms::SequentialWriter out(winPath);
    for (const QString& field : {title, author, subject, keywords, QString::number(quality)}) {
        out.write({field});
    }
    out.close();
}

QStringList Read(const QString& winPath) {
    forms::SequentialReader in(winPath);
    QStringList fields;
    while (fields.size() < 5 && !in.atEnd()) {
        QString line = in.nextLine();
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
