#include "win/ProcessTable.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <signal.h>
#include <sys/wait.h>

namespace win {

namespace {

QHash<pid_t, QString>& children() {
    static QHash<pid_t, QString> map;
    return map;
}

QString baseName(const QByteArray& path) {
    const int cut = path.lastIndexOf('/');
    return QString::fromLocal8Bit(path.mid(cut + 1));
}

// Image name of a process we did not start; empty for zombies and kernel threads.
QString foreignImageName(const QString& pidText) {
    QFile stat("/proc/" + pidText + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) return QString();
    const QByteArray s = stat.readAll();
    const int close = s.lastIndexOf(')');
    if (close < 0 || close + 2 >= s.size() || s[close + 2] == 'Z') return QString();
    QFile cmd("/proc/" + pidText + "/cmdline");
    if (cmd.open(QIODevice::ReadOnly)) {
        const QByteArray c = cmd.read(4096);
        const int nul = c.indexOf('\0');
        const QByteArray argv0 = nul >= 0 ? c.left(nul) : c;
        if (!argv0.isEmpty()) return baseName(argv0);
    }
    const int open = s.indexOf('(');
    return open >= 0 ? QString::fromLocal8Bit(s.mid(open + 1, close - open - 1)) : QString();
}

}  // namespace

void registerChild(pid_t pid, const QString& imageName) { children().insert(pid, imageName); }

int reapChildren() {
    auto& map = children();
    for (auto it = map.begin(); it != map.end();) {
        int status = 0;
        const pid_t r = waitpid(it.key(), &status, WNOHANG);
        if (r == it.key() || (r < 0 && errno == ECHILD)) {
            it = map.erase(it);
        } else {
            ++it;
        }
    }
    return int(map.size());
}

QList<ProcessEntry> processSnapshot() {
    reapChildren();
    QList<ProcessEntry> out;
    const auto& map = children();
    const QStringList pids = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& p : pids) {
        bool ok = false;
        const pid_t pid = pid_t(p.toInt(&ok));
        if (!ok) continue;
        auto it = map.constFind(pid);
        if (it != map.constEnd()) {
            out.append({pid, it.value()});
            continue;
        }
        const QString name = foreignImageName(p);
        if (!name.isEmpty()) out.append({pid, name});
    }
    return out;
}

bool isImageRunning(const QString& imageName) {
    bool found = false;
    for (const ProcessEntry& e : processSnapshot()) {
        if (e.imageName.compare(imageName, Qt::CaseInsensitive) == 0) found = true;
    }
    return found;
}

bool terminateProcess(pid_t pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

}  // namespace win
