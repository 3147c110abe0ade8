#include "FileSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QSet>

#include "win/MessagePump.h"
#include "win/WinPath.h"

namespace FileSearch {

namespace {

constexpr int kMaxSubfolders = 200;

bool isImageName(const QString& name) {
    const QString up = name.toUpper();
    const QString last3 = up.right(3);
    const QString last4 = up.right(4);
    return last3 == "BMP" || last3 == "JPG" || last3 == "GIF" || last3 == "PNG" || last3 == "TIF" ||
           last4 == "TIFF" || last4 == "JPEG";
}

// `visited` holds the real paths of the folders searched so far in this search, so a link back
// up the tree is not walked round and round.
void searchFolder(const QString& folder, QListWidget* first, QListWidget* second,
                  QSet<QString>& visited) {
    const QFileInfo here(win::toHostPath(folder));
    if (!here.isDir()) return;
    const QString real = here.canonicalFilePath();
    if (visited.contains(real)) return;
    visited.insert(real);

    // The listing is taken whole before anything else runs, so the handlers that run while
    // messages are pumped cannot disturb it. Names come in case-insensitive name order, as the
    // Windows file system lists them.
    const QDir d(here.filePath());
    const QFileInfoList entries =
        d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDir::Name | QDir::IgnoreCase);
    const QString prefix = folder.endsWith('\\') ? folder : folder + "\\";
    QStringList subfolders;
    int count = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const QString name = entries[i].fileName();
        const QString joined = prefix + name;
        if (entries[i].isDir()) {
            ++count;
            if (count <= kMaxSubfolders) subfolders << joined;
        } else if (isImageName(name)) {
            first->addItem(joined);
            second->addItem(joined);
        }
        if (i > 0) {
            win::pumpMessages();
            win::pumpMessages();
        }
    }
    for (const QString& sub : subfolders) searchFolder(sub, first, second, visited);
}

}  // namespace

void SearchImages(QString folder, QListWidget* first, QListWidget* second) {
    if (!first || !second) return;
    QSet<QString> visited;
    searchFolder(folder, first, second, visited);
}

QString StripTrailing(const QString& text) {
    int end = text.size();
    while (end > 0 && (text[end - 1] == QChar(0) || text[end - 1] == QChar(' '))) --end;
    return text.left(end);
}

}  // namespace FileSearch
