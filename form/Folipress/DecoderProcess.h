#pragma once
// One start of the picture decoder program (decoder/DecoderProtocol.h): started without a shell,
// its standard input and output handed over as open descriptors, standard error and every other
// descriptor closed, in an environment of its own; waited for while window messages are pumped;
// killed when its time is up, when the wait is left early, and when the program ends.
#include <QString>
#include <QStringList>

namespace DecoderProcess {

struct End {
    enum Kind { NotStarted, Exited, Signalled, TimedOut } kind = NotStarted;
    int code = 0;             // exit status, signal number, or the error of a failed start
    long peakKilobytes = 0;   // the process's largest resident size
};

// Runs the program at `hostPath` until it ends, or `wallSeconds` pass and it is killed.
End run(const QString& hostPath, const QStringList& arguments, int input, int output, int wallSeconds);

// Kills and reaps the decoder that is running, if any: the program is ending.
void endRunning();

}  // namespace DecoderProcess
