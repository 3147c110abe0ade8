#pragma once
// One start of the picture decoder program (decoder/DecoderProtocol.h): started without a shell,
// its standard input and output handed over as open descriptors, standard error and every other
// descriptor closed, in an environment of its own; waited for while window messages are pumped;
// killed when its time is up, when it is let go of before it ended, and when the program ends.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class DecoderProcess {
public:
    struct End {
        enum Kind { NotStarted, Exited, Signalled, TimedOut } kind = NotStarted;
        int code = 0;  // exit status, signal number, or the error of a failed start
    };

    // Starts the program at `hostPath`; it has `wallSeconds` from now.
    DecoderProcess(const QString& hostPath, const QStringList& arguments, int input, int output,
                   int wallSeconds);
    ~DecoderProcess();
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    // Waits until it ends, or its time is up and it is killed.
    End wait();

    // Kills and reaps every decoder still running: the program is ending.
    static void endRunning();

private:
    bool listed() const;
    void forget();
    bool waitForEnd();

    pid_t pid_ = -1;
    int pidfd_ = -1;
    QElapsedTimer clock_;
    qint64 allowedMs_ = 0;
    End end_;
};
