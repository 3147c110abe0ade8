#include "Module1.h"

#include <QSet>

#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/ProcessTable.h"
#include "win/RuntimeError.h"

QString WatchedProcess;

void KillProcessByName(const QString& exeName) {
    const QString wanted = exeName.toLower();
    for (const win::ProcessEntry& e : win::processSnapshot()) {
        if (e.imageName.toLower() == wanted) win::terminateProcess(e.pid);
    }
}

void DeleteFolderTree(const QString& folder) {
    using win::skipOnError;
    const QString base = folder + "\\";
    // Clearing the folder's own attributes first gives back the write permission that deleting
    // its entries needs on this host.
    skipOnError([&] { win::setAttr(folder, win::kAttrNormal); });

    // The listing restarts after each subfolder; names already tried are passed over so a
    // subfolder that cannot be removed is not visited again without end.
    QSet<QString> tried;
    QString name;
    skipOnError([&] { name = win::dir(base, 31); });
    while (!name.isEmpty()) {
        bool restart = false;
        if (name != "." && name != ".." && !tried.contains(name)) {
            tried.insert(name);
            int attrs = 0;
            const bool known = skipOnError([&] { attrs = win::getAttr(base + name); });
            if (known && (attrs & win::kAttrDirectory)) {
                DeleteFolderTree(base + name);
                restart = true;
            } else {
                skipOnError([&] { win::setAttr(base + name, win::kAttrNormal); });
                skipOnError([&] { win::killFile(base + name); });
            }
        }
        win::pumpMessages();
        if (restart) {
            name.clear();
            skipOnError([&] { name = win::dir(base, 31); });
        } else {
            name.clear();
            skipOnError([&] { name = win::dir(); });
        }
    }
    skipOnError([&] { win::setAttr(folder, win::kAttrNormal); });
    skipOnError([&] { win::removeFolder(folder); });
}
