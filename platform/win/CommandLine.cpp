#include "win/CommandLine.h"

#include <QFileInfo>
#include <QStandardPaths>

#include "win/WinPath.h"

namespace win {

namespace {

bool isSpace(QChar c) { return c == ' ' || c == '\t'; }

// The program token: quoted or up to white space; backslashes are literal.
QString takeProgramToken(const QString& s, int& i, bool* quoted) {
    QString tok;
    *quoted = false;
    if (i < s.size() && s[i] == '"') {
        *quoted = true;
        ++i;
        while (i < s.size() && s[i] != '"') tok += s[i++];
        if (i < s.size()) ++i;
        return tok;
    }
    while (i < s.size() && !isSpace(s[i])) tok += s[i++];
    return tok;
}

QStringList splitArguments(const QString& s, int i) {
    QStringList args;
    while (true) {
        while (i < s.size() && isSpace(s[i])) ++i;
        if (i >= s.size()) break;
        QString arg;
        bool inQuotes = false;
        while (i < s.size()) {
            const QChar c = s[i];
            if (c == '\\') {
                int n = 0;
                while (i < s.size() && s[i] == '\\') {
                    ++n;
                    ++i;
                }
                if (i < s.size() && s[i] == '"') {
                    arg += QString(n / 2, '\\');
                    if (n % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg += QString(n, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (inQuotes && i + 1 < s.size() && s[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            if (!inQuotes && isSpace(c)) break;
            arg += c;
            ++i;
        }
        args << arg;
    }
    return args;
}

// Host path of a program named in Windows form, or empty when nothing runnable is there.
QString findProgram(const QString& name) {
    auto runnable = [](const QString& host) {
        QFileInfo fi(host);
        return fi.exists() && fi.isFile() && fi.isExecutable();
    };
    const bool hasFolder = name.contains('\\') || name.contains('/');
    if (hasFolder) {
        const QString host = toHostPath(name);
        if (runnable(host)) return host;
        if (name.endsWith(".exe", Qt::CaseInsensitive)) {
            const QString bare = toHostPath(name.left(name.size() - 4));
            if (runnable(bare)) return bare;
        }
        return QString();
    }
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty() && name.endsWith(".exe", Qt::CaseInsensitive)) {
        found = QStandardPaths::findExecutable(name.left(name.size() - 4));
    }
    return found;
}

QString fileNamePart(const QString& path) {
    const int cut = std::max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    return path.mid(cut + 1);
}

}  // namespace

QStringList splitCommandLine(const QString& commandLine) {
    int i = 0;
    while (i < commandLine.size() && isSpace(commandLine[i])) ++i;
    if (i >= commandLine.size()) return {};
    bool quoted = false;
    QStringList out;
    out << takeProgramToken(commandLine, i, &quoted);
    out << splitArguments(commandLine, i);
    return out;
}

QString quoteArgument(const QString& argument) {
    QString out = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out += QString(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out += QString(backslashes * 2, '\\');
    return out + '"';
}

ResolvedCommand resolveCommandLine(const QString& commandLine) {
    ResolvedCommand r;
    int i = 0;
    while (i < commandLine.size() && isSpace(commandLine[i])) ++i;
    if (i >= commandLine.size()) return r;

    bool quoted = false;
    int afterProgram = i;
    QString program = takeProgramToken(commandLine, afterProgram, &quoted);
    QString host = findProgram(program);
    if (host.isEmpty() && !quoted) {
        // An unquoted path with spaces: try successively longer prefixes up to each space.
        int j = afterProgram;
        while (host.isEmpty() && j < commandLine.size()) {
            while (j < commandLine.size() && isSpace(commandLine[j])) ++j;
            if (j >= commandLine.size()) break;
            while (j < commandLine.size() && !isSpace(commandLine[j])) ++j;
            const QString candidate = commandLine.mid(i, j - i);
            host = findProgram(candidate);
            if (!host.isEmpty()) {
                program = candidate;
                afterProgram = j;
            }
        }
    }
    if (host.isEmpty()) return r;

    r.found = true;
    r.program = host;
    r.imageName = fileNamePart(program);
    for (const QString& a : splitArguments(commandLine, afterProgram)) {
        r.arguments << (isDrivePath(a) ? toHostPath(a) : a);
    }
    return r;
}

}  // namespace win
