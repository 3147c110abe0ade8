#include "Module1.h"

#include "win/MessagePump.h"
#include "win/ProcessTable.h"
#include "win/SafeTree.h"

QString WatchedProcess;

void KillProcessByName(const QString& exeName) {
    const QString wanted = exeName.toLower();
    for (const win::ProcessEntry& e : win::processSnapshot()) {
        if (e.imageName.toLower() == wanted) win::terminateProcess(e.pid);
    }
}

void DeleteFolderTree(const QString& folder) {
    // The walk goes through folder descriptors and never follows a link: a working folder that
    // is a link loses the link, and what it points at stays whole.
    win::deleteFolderTree(folder, [] { win::pumpMessages(); });
}
