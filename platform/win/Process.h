#pragma once
// Starting programs from Windows command lines, never through a shell.
#include <QString>

#include <sys/types.h>

namespace win {

struct StartOptions {
    // Standard output and standard error go into one pipe whose read end is handed back;
    // standard input is empty. Without it the child shares our standard streams.
    bool captureOutput = false;
    // Host folder the child starts in; empty: ours.
    QString workingFolder;
};

struct StartedProcess {
    bool started = false;
    pid_t pid = -1;
    int outputFd = -1;     // read end of the output pipe (captureOutput), owned by the caller
    int errorNumber = 0;   // errno of a failed pipe or start
    bool pipeFailed = false;
    QString imageName;     // file name the program was started as ("ocr.exe")
};

// Starts the program a command line names; see resolveCommandLine for how it is found.
StartedProcess startProcess(const QString& commandLine, const StartOptions& options = {});

// Output pipe helpers.
// Bytes waiting in the pipe; -1 when the query fails.
long long bytesWaiting(int fd);
// Reads at most maxBytes (blocking until something is there or the writers are gone).
// Returns the number read, 0 at end of data, -1 on failure.
long long readPipe(int fd, char* buffer, long long maxBytes);
void closeFd(int& fd);

}  // namespace win
