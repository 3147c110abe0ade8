#include "DecoderProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace DecoderProcess {

namespace {

// The decoders running, innermost last.
std::vector<pid_t>& running() {
    static std::vector<pid_t> pids;
    return pids;
}

bool reap(pid_t pid, int* status, rusage* usage) {
    while (::wait4(pid, status, 0, usage) < 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// The started process: killed and reaped on any way out of the wait that has not reaped it,
// unless the program's end did that already.
struct Child {
    pid_t pid = -1;
    int pidfd = -1;
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pidfd >= 0) ::close(pidfd);
        if (!listed()) return;
        ::kill(pid, SIGKILL);
        reap(pid, nullptr, nullptr);
        forget();
    }
    bool listed() const {
        for (const pid_t p : running())
            if (p == pid) return pid > 0;
        return false;
    }
    void forget() {
        auto& pids = running();
        for (auto it = pids.begin(); it != pids.end(); ++it) {
            if (*it == pid) {
                pids.erase(it);
                break;
            }
        }
    }
};

// A copy of the descriptor above the standard three (closed by the caller), so that handing
// both over cannot overwrite one with the other.
int aboveStandard(int fd, int& copy) {
    if (fd > STDERR_FILENO) return fd;
    copy = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    return copy;
}

bool hasEnded(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// Waits until the child ends or the time is up, pumping window messages; true when it ended.
bool waitForEnd(const Child& child, int wallSeconds) {
    QElapsedTimer clock;
    clock.start();
    const qint64 allowed = qint64(wallSeconds) * 1000;
    if (child.pidfd >= 0 && QCoreApplication::instance()) {
        // The process descriptor turns readable when the process ends.
        QEventLoop loop;
        QSocketNotifier ended(child.pidfd, QSocketNotifier::Read);
        QObject::connect(&ended, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(int(allowed));
        // No loop runs once the program has been told to quit: the wait below blocks then.
        loop.exec();
    }
    while (true) {
        const qint64 left = allowed - clock.elapsed();
        if (child.pidfd >= 0) {
            pollfd p{child.pidfd, POLLIN, 0};
            const int n = ::poll(&p, 1, int(left > 0 ? left : 0));
            if (n >= 0 || errno != EINTR) return n > 0;
            continue;
        }
        // A kernel without process descriptors: a look every 10 ms.
        if (hasEnded(child.pid)) return true;
        if (left <= 0) return false;
        ::usleep(10000);
    }
}

}  // namespace

End run(const QString& hostPath, const QStringList& arguments, int input, int output, int wallSeconds) {
    End end;
    int inCopy = -1, outCopy = -1;
    const int in = aboveStandard(input, inCopy);
    const int out = aboveStandard(output, outCopy);

    const QByteArray program = hostPath.toLocal8Bit();
    std::vector<QByteArray> argBytes;
    for (const QString& a : arguments) argBytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : argBytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    // Its decoders' thread pools stay at one thread: the filter allows no other.
    char threads[] = "OMP_NUM_THREADS=1";
    char* envp[] = {threads, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The default signal handling whatever ours is.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    Child child;
    const int rc = in < 0 || out < 0 ? errno
                                     : posix_spawn(&child.pid, program.constData(), &actions, &attr,
                                                   argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (inCopy >= 0) ::close(inCopy);
    if (outCopy >= 0) ::close(outCopy);
    if (rc != 0) {
        end.code = rc;
        return end;
    }
    running().push_back(child.pid);
    child.pidfd = int(::syscall(SYS_pidfd_open, child.pid, 0));

    const bool ended = waitForEnd(child, wallSeconds);
    if (!child.listed()) {  // the program's end took it
        end.kind = End::Signalled;
        end.code = SIGKILL;
        return end;
    }
    if (!ended) ::kill(child.pid, SIGKILL);
    int status = 0;
    rusage usage{};
    const bool reaped = reap(child.pid, &status, &usage);
    child.forget();
    if (!reaped) return end;
    end.peakKilobytes = usage.ru_maxrss;
    if (!ended) {
        end.kind = End::TimedOut;
    } else if (WIFEXITED(status)) {
        end.kind = End::Exited;
        end.code = WEXITSTATUS(status);
    } else {
        end.kind = End::Signalled;
        end.code = WTERMSIG(status);
    }
    return end;
}

void endRunning() {
    for (const pid_t pid : running()) {
        ::kill(pid, SIGKILL);
        reap(pid, nullptr, nullptr);
    }
    running().clear();
}

}  // namespace DecoderProcess
