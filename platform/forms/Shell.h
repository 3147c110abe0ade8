#pragma once
// Shell services: opening a folder, file or web page with the desktop's handler, and the beep.
// Tests install a recorder instead.
#include <QString>
#include <QStringList>

namespace forms {

class ShellService {
public:
    virtual ~ShellService() = default;
    // Opens a Windows path or a URL; false when nothing could open it.
    virtual bool open(const QString& target) = 0;
    virtual void beep() = 0;
};

ShellService& shell();
void setShellService(ShellService* service);  // not owned; nullptr: the desktop's

inline bool shellOpen(const QString& target) { return shell().open(target); }
inline void beep() { shell().beep(); }

class RecordingShell : public ShellService {
public:
    RecordingShell();
    ~RecordingShell() override;
    bool open(const QString& target) override {
        opened << target;
        return true;
    }
    void beep() override { ++beeps; }
    QStringList opened;
    int beeps = 0;
};

}  // namespace forms
