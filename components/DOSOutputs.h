#pragma once
// Runs one command line as a hidden child process with standard output and standard error on
// one pipe, collects what arrives, and returns once no process named `WatchedProcess` exists.
#include <QObject>
#include <QString>

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

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();

private:
    bool IsProcessRunning(const QString& exeName) const;

    QString CommandLine_;
    QString Outputs_;
    bool StartFailed_ = false;
};
