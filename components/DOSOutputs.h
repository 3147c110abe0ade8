#pragma once
// Runs one command line as a hidden child process with standard output and standard error on
// one pipe, collects what arrives, and returns once no process named `WatchedProcess` exists.
#include <QObject>
#include <QString>

#include "win/ProcessTable.h"

class DOSOutputs : public QObject {
    Q_OBJECT
public:
    explicit DOSOutputs(QObject* parent = nullptr) : QObject(parent) {}

    void setCommandLine(const QString& DOSCommand) { CommandLine_ = DOSCommand; }
    QString CommandLine() const { return CommandLine_; }
    // Everything collected by the last run that started a process.
    QString Outputs() const { return Outputs_; }

    // Runs `CommandLine` (replaced first by a non-empty argument) and returns the collected text,
    // "" when no process was started.
    QString ExecuteCommand(const QString& CommandLine = QString());
    // True when the last ExecuteCommand started no process; its message has been shown.
    bool StartFailed() const { return StartFailed_; }
    // How the process the last run started ended (Running: the run ended while it was still
    // there; Unknown: none was started).
    win::ChildEnd End() const { return End_; }
    // True when the last run's process ended by itself with exit status 0.
    bool Succeeded() const { return End_.kind == win::ChildEnd::Exited && End_.code == 0; }
    // The end in words for a message: "exit status 2", "ended by signal 9", ...
    QString EndDescription() const;

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();

private:
    bool IsProcessRunning(const QString& exeName) const;

    QString CommandLine_;
    QString Outputs_;
    bool StartFailed_ = false;
    win::ChildEnd End_;
};
