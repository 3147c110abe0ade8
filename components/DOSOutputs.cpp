#include "DOSOutputs.h"

#include <memory>

#include "Module1.h"
#include "clsWaitableTimer.h"
#include "forms/MessageBox.h"
#include "win/CodePage.h"
#include "win/MessagePump.h"
#include "win/Process.h"
#include "win/ProcessTable.h"

QString DOSOutputs::ExecuteCommand(const QString& CommandLine) {
    if (!CommandLine.isEmpty()) CommandLine_ = CommandLine;
    StartFailed_ = true;
    End_ = win::ChildEnd();
    if (CommandLine_.isEmpty()) {
        forms::msgBox("Command Line empty", forms::vbCritical);
        return QString();
    }

    win::StartOptions options;
    options.captureOutput = true;
    // The child sees the command line as the ANSI code page carries it; one that lost characters
    // could name another program or file, so it starts nothing.
    win::StartedProcess child = win::ansiCanCarry(CommandLine_)
                                    ? win::startProcess(CommandLine_, options)
                                    : win::StartedProcess();
    if (child.pipeFailed) {
        forms::msgBox("CreatePipe failed. Error: " + QString::number(child.errorNumber),
                      forms::vbCritical);
        return QString();
    }
    if (!child.started) {
        forms::msgBox("File or command not found", forms::vbCritical);
        return QString();
    }

    StartFailed_ = false;
    bool keepGoing = true;
    bool readFailed = false;
    Outputs_.clear();
    std::unique_ptr<clsWaitableTimer> pause;
    char buffer[1024];
    do {
        // Each pass opens with its 50 ms pause, so the pass that finds the watched program gone
        // ends the run at once: the end is seen half a pause after it happens, on average,
        // instead of a pause and a half.
        if (!pause) pause = std::make_unique<clsWaitableTimer>();
        pause->Wait(50);
        const long long waiting = win::bytesWaiting(child.outputFd);
        if (waiting != 0) {
            const long long n = win::readPipe(child.outputFd, buffer, sizeof buffer);
            keepGoing = n > 0;
            readFailed = n <= 0;
            const QString chunk = win::fromAnsi(QByteArray(buffer, n > 0 ? int(n) : 0));
            Outputs_ += chunk;
            emit ReceiveOutputs(chunk);
            if (!IsProcessRunning(WatchedProcess)) keepGoing = false;
        } else if (!IsProcessRunning(WatchedProcess)) {
            // One look at the process table serves both tests of an empty-pipe pass.
            keepGoing = false;
        }
        win::pumpMessages();
    } while (keepGoing);

    win::closeFd(child.outputFd);
    End_ = win::childEnd(child.pid);
    // A child that closed its output is ending: its status is worth a short wait, so that a
    // caller never takes an unread end for a failure (or the other way round).
    for (int pass = 0; readFailed && End_.kind == win::ChildEnd::Running && pass < 40; ++pass) {
        pause->Wait(50);
        End_ = win::childEnd(child.pid);
    }
    emit CommandOver();
    return Outputs_;
}

bool DOSOutputs::IsProcessRunning(const QString& exeName) const {
    return win::isImageRunning(exeName);
}

QString DOSOutputs::EndDescription() const {
    switch (End_.kind) {
        case win::ChildEnd::Exited: return "exit status " + QString::number(End_.code);
        case win::ChildEnd::Signalled: return "ended by signal " + QString::number(End_.code);
        case win::ChildEnd::Running: return QStringLiteral("still running when the run ended");
        case win::ChildEnd::Unknown: break;
    }
    return QStringLiteral("not started");
}
