#include "modFunction.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/WinPath.h"

namespace modFunction {

bool FileExistsAnsi(const QString& path) {
    const QString ansi = win::fromAnsi(win::toAnsi(path));
    const int cut = std::max(ansi.lastIndexOf('\\'), ansi.lastIndexOf('/'));
    const QString folder = cut >= 0 ? ansi.left(cut + 1) : QString();
    const QString name = cut >= 0 ? ansi.mid(cut + 1) : ansi;
    // Wildcards are allowed in the last part only; an empty last part names nothing.
    if (name.isEmpty() || folder.contains('*') || folder.contains('?')) return false;
    if (!name.contains('*') && !name.contains('?')) {
        return win::fileExists(ansi) || win::folderExists(ansi);
    }
    const QString hostFolder = folder.isEmpty() ? QDir::currentPath() : win::toHostPath(folder);
    const QDir d(hostFolder);
    if (!d.exists()) return false;
    const QRegularExpression re = win::wildcardPattern(name);
    const QStringList entries =
        d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        if (re.match(e).hasMatch()) return true;
    }
    return false;
}

QString GetFilePart(QString path, long mode) {
    switch (mode) {
        case 0: return path.mid(path.lastIndexOf('.') + 1);
        case 1: return path.mid(path.lastIndexOf('\\') + 1);
        case 2: return TextBefore(path.mid(path.lastIndexOf('\\') + 1), ".");
        case 3: {
            const int cut = path.lastIndexOf('\\');
            if (cut < 0) throw win::RuntimeError(win::kErrInvalidCall, "Invalid procedure call or argument");
            return path.left(cut);
        }
        default: return QString();
    }
}

QString TextBefore(QString text, const QString& delimiter) {
    if (delimiter.size() != 1) return text;
    const int at = text.indexOf(delimiter[0]);
    return at < 0 ? text : text.left(at);
}

}  // namespace modFunction
