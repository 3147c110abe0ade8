#pragma once
// The process table: each running process with its image name. A process this program started
// is listed under the file name it was started as ("ocr.exe"), kept across an exec; other
// processes under the file name of their first argument. Exited children are reaped and
// never listed.
#include <QList>
#include <QString>

#include <sys/types.h>

namespace win {

struct ProcessEntry {
    pid_t pid = 0;
    QString imageName;
};

QList<ProcessEntry> processSnapshot();

// True when a listed process has this image name, compared without regard to case.
bool isImageRunning(const QString& imageName);

// Ends the process at once (it is not waited for). False when it cannot be signalled.
bool terminateProcess(pid_t pid);

// Remembers a child started by this program under its image name.
void registerChild(pid_t pid, const QString& imageName);

// Reaps children that have exited; returns how many are still running.
int reapChildren();

// How a child this program started ended, once it has been reaped.
struct ChildEnd {
    enum Kind { Running, Exited, Signalled, Unknown } kind = Unknown;
    int code = 0;  // exit status (Exited) or signal number (Signalled)
};
// Reaps the child if it has ended and tells how; the answer stays until the next start.
ChildEnd childEnd(pid_t pid);

}  // namespace win
