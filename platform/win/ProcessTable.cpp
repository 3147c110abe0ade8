#include "win/ProcessTable.h"

#include <QHash>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <signal.h>
#include <sys/wait.h>

namespace win {

namespace {

QHash<pid_t, QString>& children() {
    static QHash<pid_t, QString> map;
    return map;
}

// Reads a small /proc file whole; plain system calls keep a walk of the table cheap, since
// the command runner walks it twice per 50 ms pass.
int readSmall(const char* path, char* buf, int size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const ssize_t n = ::read(fd, buf, size_t(size - 1));
    ::close(fd);
    if (n < 0) return -1;
    buf[n] = '\0';
    return int(n);
}

struct CachedName {
    std::int64_t readAt = 0;  // steady-clock milliseconds
    QString name;
};

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Names of processes we did not start, by pid. An entry is read again after a second, so a
// process that execs under another name is seen soon; dropped when its pid is gone.
QHash<pid_t, CachedName>& foreignNames() {
    static QHash<pid_t, CachedName> cache;
    return cache;
}

// State letter of a process from its stat file; 0 when it is gone.
char processState(pid_t pid, char* buf, int size, const char** closeParen) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    if (readSmall(path, buf, size) <= 0) return 0;
    const char* close = std::strrchr(buf, ')');
    if (closeParen) *closeParen = close;
    if (!close || close[1] == '\0' || close[2] == '\0') return 0;
    return close[2];
}

// Image name of a process we did not start; empty for zombies and kernel threads.
QString foreignImageName(pid_t pid) {
    auto& cache = foreignNames();
    const std::int64_t now = nowMs();
    auto it = cache.find(pid);
    if (it != cache.end() && now - it->readAt < 1000) return it->name;

    char buf[1024];
    const char* close = nullptr;
    const char state = processState(pid, buf, sizeof buf, &close);
    QString name;
    if (state != 0 && state != 'Z') {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/cmdline", int(pid));
        char cmd[1024];
        if (readSmall(path, cmd, sizeof cmd) > 0 && cmd[0] != '\0') {
            const char* slash = std::strrchr(cmd, '/');
            name = QString::fromLocal8Bit(slash ? slash + 1 : cmd);
        } else {
            const char* open = std::strchr(buf, '(');
            if (open && close) name = QString::fromLocal8Bit(open + 1, int(close - open - 1));
        }
    }
    cache.insert(pid, {now, name});
    return name;
}

// A cached entry may have ended or become a zombie since it was read.
bool stillAlive(pid_t pid) {
    char buf[1024];
    const char state = processState(pid, buf, sizeof buf, nullptr);
    return state != 0 && state != 'Z';
}

// How reaped children ended, kept for their starters to ask (a few entries: each start of a
// program clears the entry of its pid).
QHash<pid_t, ChildEnd>& ends() {
    static QHash<pid_t, ChildEnd> map;
    return map;
}

ChildEnd endFromStatus(int status) {
    ChildEnd e;
    if (WIFEXITED(status)) {
        e.kind = ChildEnd::Exited;
        e.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        e.kind = ChildEnd::Signalled;
        e.code = WTERMSIG(status);
    }
    return e;
}

}  // namespace

void registerChild(pid_t pid, const QString& imageName) {
    children().insert(pid, imageName);
    ends().remove(pid);
    // Children nobody asks about (the editor) must not pile up.
    if (ends().size() > 256) ends().clear();
}

int reapChildren() {
    auto& map = children();
    for (auto it = map.begin(); it != map.end();) {
        int status = 0;
        const pid_t r = waitpid(it.key(), &status, WNOHANG);
        if (r == it.key()) {
            ends().insert(r, endFromStatus(status));
            it = map.erase(it);
        } else if (r < 0 && errno == ECHILD) {
            ends().insert(it.key(), ChildEnd());
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
    DIR* proc = opendir("/proc");
    if (!proc) return out;
    QSet<pid_t> seen;
    while (dirent* e = readdir(proc)) {
        char* end = nullptr;
        const long v = std::strtol(e->d_name, &end, 10);
        if (!end || *end != '\0' || v <= 0) continue;
        const pid_t pid = pid_t(v);
        seen.insert(pid);
        auto it = map.constFind(pid);
        if (it != map.constEnd()) {
            out.append({pid, it.value()});
            continue;
        }
        const QString name = foreignImageName(pid);
        if (!name.isEmpty()) out.append({pid, name});
    }
    closedir(proc);
    auto& cache = foreignNames();
    for (auto it = cache.begin(); it != cache.end();) {
        it = seen.contains(it.key()) ? std::next(it) : cache.erase(it);
    }
    return out;
}

bool isImageRunning(const QString& imageName) {
    bool found = false;
    const auto& mine = children();
    for (const ProcessEntry& e : processSnapshot()) {
        if (e.imageName.compare(imageName, Qt::CaseInsensitive) != 0) continue;
        if (mine.contains(e.pid) || stillAlive(e.pid)) found = true;
    }
    return found;
}

ChildEnd childEnd(pid_t pid) {
    reapChildren();
    if (children().contains(pid)) return {ChildEnd::Running, 0};
    return ends().value(pid, ChildEnd());
}

bool terminateProcess(pid_t pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

}  // namespace win
