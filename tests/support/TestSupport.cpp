#include "TestSupport.h"

#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <strings.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "win/WinPath.h"

namespace testing_support {

ScratchDriveC::ScratchDriveC() : previous_(qgetenv("LUMIDOC_DRIVE_C")) {
    // Marked as the suite's own, so a test may fill it before the programs first look at it.
    writeFile(hostPath(win::kDriveCMark), QByteArray());
    qputenv("LUMIDOC_DRIVE_C", dir_.path().toLocal8Bit());
}

ScratchDriveC::~ScratchDriveC() {
    // Give back write permission anywhere a test took it away, so the folder can be removed.
    QDir d(dir_.path());
    system(("chmod -R u+w '" + dir_.path() + "' 2>/dev/null").toLocal8Bit().constData());
    if (previous_.isEmpty()) {
        qunsetenv("LUMIDOC_DRIVE_C");
    } else {
        qputenv("LUMIDOC_DRIVE_C", previous_);
    }
}

QString ScratchDriveC::hostPath(const QString& relative) const {
    return relative.isEmpty() ? dir_.path() : dir_.path() + "/" + relative;
}

QString writeScript(const QString& hostPath, const QString& body) {
    writeFile(hostPath, ("#!/bin/bash\n" + body + "\n").toUtf8());
    QFile::setPermissions(hostPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup);
    return hostPath;
}

bool writeFile(const QString& hostPath, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    QFile f(hostPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& hostPath) {
    QFile f(hostPath);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

std::string permissionsOf(const QString& hostPath) {
    struct stat st;
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0) return std::string();
    return QString::asprintf("%04o", unsigned(st.st_mode & 07777)).toStdString();
}

bool setPermissions(const QString& hostPath, unsigned mode) {
    return ::chmod(QFile::encodeName(hostPath).constData(), mode_t(mode)) == 0;
}

QMap<QString, QByteArray> treeSnapshot(const QString& hostFolder) {
    QMap<QString, QByteArray> out;
    QDirIterator it(hostFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray entry = QByteArray::number(int(info.permissions()), 16) + ' ';
        if (info.isSymLink()) entry += "link " + info.symLinkTarget().toUtf8();
        else if (info.isDir()) entry += "folder";
        else entry += "file " + readFile(path);
        out[path.mid(hostFolder.size())] = entry;
    }
    return out;
}

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!predicate()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

int runProgram(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> bytes{program.toLocal8Bit()};
    for (const QString& a : arguments) bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int enterOwnMountTable() {
    static const int entered = [] {
        if (::unshare(CLONE_NEWNS) != 0) return errno;
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ? 0 : errno;
    }();
    return entered;
}

bool everyTestDemanded() {
    const char* ci = getenv("CI");
    return ci && (strcasecmp(ci, "true") == 0 || std::strcmp(ci, "1") == 0);
}

}  // namespace testing_support
