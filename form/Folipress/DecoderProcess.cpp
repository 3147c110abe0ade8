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

namespace {

// The decoders running.
std::vector<pid_t>& running() {
    static std::vector<pid_t> pids;
    return pids;
}

bool reap(pid_t pid, int* status) {
    while (::waitpid(pid, status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// A copy of the descriptor above the standard three (closed by the caller), so that handing
// both over cannot overwrite one with the other.
int aboveStandard(int fd, int& copy) {
    if (fd > STDERR_FILENO) return fd;
    copy = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    return copy;
}

}  // namespace

DecoderProcess::DecoderProcess(const QString& hostPath, const QStringList& arguments, int input,
                               int output, int wallSeconds) {
    clock_.start();
    allowedMs_ = qint64(wallSeconds) * 1000;
    int inCopy = -1, outCopy = -1;
    const int in = aboveStandard(input, inCopy);
    const int out = aboveStandard(output, outCopy);

    const QByteArray program = hostPath.toLocal8Bit();
    std::vector<QByteArray> argBytes;
    for (const QString& a : arguments) argBytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : argBytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    // OpenMP's pool (the camera-raw decoder's) stays at one thread: one a core, each with its
    // stack, would take the address space its limit leaves for pixels. Its allocator asks for
    // large pages, which saves it most of its page faults.
    char threads[] = "OMP_NUM_THREADS=1";
    char pages[] = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1";
    char* envp[] = {threads, pages, nullptr};

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

    pid_t pid = -1;
    const int rc = in < 0 || out < 0 ? errno
                                     : posix_spawn(&pid, program.constData(), &actions, &attr,
                                                   argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (inCopy >= 0) ::close(inCopy);
    if (outCopy >= 0) ::close(outCopy);
    if (rc != 0) {
        end_.code = rc;
        return;
    }
    pid_ = pid;
    running().push_back(pid_);
    // Its process descriptor tells when it ends; a decoder that cannot be watched does not run.
    pidfd_ = int(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd_ < 0) {
        end_.code = errno;
        ::kill(pid_, SIGKILL);
        reap(pid_, nullptr);
        forget();
    }
}

DecoderProcess::~DecoderProcess() {
    if (pidfd_ >= 0) ::close(pidfd_);
    if (!listed()) return;
    ::kill(pid_, SIGKILL);
    reap(pid_, nullptr);
    forget();
}

bool DecoderProcess::listed() const {
    for (const pid_t p : running())
        if (p == pid_) return pid_ > 0;
    return false;
}

void DecoderProcess::forget() {
    auto& pids = running();
    for (auto it = pids.begin(); it != pids.end(); ++it) {
        if (*it == pid_) {
            pids.erase(it);
            break;
        }
    }
}

// True when the process ended within its time.
bool DecoderProcess::waitForEnd() {
    if (QCoreApplication::instance() && clock_.elapsed() < allowedMs_) {
        // The process descriptor turns readable when the process ends.
        QEventLoop loop;
        QSocketNotifier ended(pidfd_, QSocketNotifier::Read);
        QObject::connect(&ended, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(int(allowedMs_ - clock_.elapsed()));
        // No loop runs once the program has been told to quit: the wait below blocks then.
        loop.exec();
    }
    while (true) {
        const qint64 left = allowedMs_ - clock_.elapsed();
        pollfd p{pidfd_, POLLIN, 0};
        const int n = ::poll(&p, 1, int(left > 0 ? left : 0));
        if (n >= 0 || errno != EINTR) return n > 0;
    }
}

DecoderProcess::End DecoderProcess::wait() {
    if (pid_ <= 0 || !listed()) return end_;
    const bool ended = waitForEnd();
    if (!listed()) {  // the program's end took it
        end_.kind = End::Signalled;
        end_.code = SIGKILL;
        return end_;
    }
    if (!ended) ::kill(pid_, SIGKILL);
    int status = 0;
    const bool reaped = reap(pid_, &status);
    forget();
    if (!reaped) return end_;
    if (!ended) {
        end_.kind = End::TimedOut;
    } else if (WIFEXITED(status)) {
        end_.kind = End::Exited;
        end_.code = WEXITSTATUS(status);
    } else {
        end_.kind = End::Signalled;
        end_.code = WTERMSIG(status);
    }
    return end_;
}

void DecoderProcess::endRunning() {
    for (const pid_t pid : running()) {
        ::kill(pid, SIGKILL);
        reap(pid, nullptr);
    }
    running().clear();
}
