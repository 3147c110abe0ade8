#include "PrivateProcessTable.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testing_support {

namespace {

bool isPrivate = false;
std::string whyNot;

// What the namespace's first process reports once its /proc shows only the namespace.
constexpr char kInTheTable[] = "+";

bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

std::string failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void tell(int fd, const std::string& text) {
    [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
}

int waitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Ends this process the way its child ended.
[[noreturn]] void endLike(int status) {
    if (WIFSIGNALED(status)) {
        signal(WTERMSIG(status), SIG_DFL);
        kill(getpid(), WTERMSIG(status));
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

// Inside a user namespace the process holds every capability over the files of its own user;
// the tests must meet read-only files and folders as the user does. Only the right to mount is
// kept, which reaches no further than the namespaces' own mount tables: a test mounts a file
// system of its own there.
void dropCapabilitiesButMount() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    data[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective = data[CAP_TO_INDEX(CAP_SYS_ADMIN)].permitted =
        CAP_TO_MASK(CAP_SYS_ADMIN);
    syscall(SYS_capset, &header, data);
}

// In the child that tries: makes the namespaces and starts their first process, then waits for
// it and ends as it ends. Returns only in that first process, once /proc shows the namespace.
// Every failure is told on `report` before the process ends.
void makeTable(int report, pid_t testProgram) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != testProgram) _exit(1);
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    bool userNamespace = false;
    if (unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
        // Without the right to make one directly, a user namespace of our own gives it.
        if (unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNS) != 0) {
            tell(report, failure("no PID namespace can be made here"));
            _exit(1);
        }
        userNamespace = true;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            tell(report, failure("the user namespace takes no id map"));
            _exit(1);
        }
    }
    const pid_t first = fork();
    if (first < 0) {
        tell(report, failure("no process can be started in the PID namespace"));
        _exit(1);
    }
    if (first > 0) {
        ::close(report);
        endLike(waitFor(first));
    }
    // The namespace ends with the test: nothing it started outlives a killed test runner.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        tell(report, failure("/proc cannot be mounted in the PID namespace"));
        _exit(1);
    }
    if (userNamespace) dropCapabilitiesButMount();
    tell(report, kInTheTable);
    ::close(report);
}

// Why no table can be had; "" in the namespace's first process, which goes on to run the tests.
std::string tryTable() {
    // Plays a machine that allows no namespace, to show what the tests then do.
    if (const char* v = getenv("LUMIDOC_TEST_NO_PID_NAMESPACE"); v && *v) {
        return "no PID namespace can be made here (LUMIDOC_TEST_NO_PID_NAMESPACE is set)";
    }
    // This process never enters a namespace itself: one that is only half made (its first
    // process gone) would refuse every later process start.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return failure("no PID namespace can be tried");
    std::fflush(nullptr);
    const pid_t testProgram = getpid();
    // Not fork(): ThreadSanitizer's starts the sanitizer's thread in the child, and a process
    // of two threads may make no user namespace. The child only makes namespaces and forks.
    const pid_t trying = pid_t(syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, 0));
    if (trying < 0) {
        const std::string reason = failure("no PID namespace can be tried");
        ::close(report[0]);
        ::close(report[1]);
        return reason;
    }
    if (trying == 0) {
        ::close(report[0]);
        makeTable(report[1], testProgram);
        return std::string();
    }
    ::close(report[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) said.append(buffer, size_t(n));
        else if (errno != EINTR) break;
    }
    ::close(report[0]);
    if (said == kInTheTable) endLike(waitFor(trying));
    waitFor(trying);
    return said.empty() ? "the PID namespace ended before it could be used" : said;
}

}  // namespace

void enterPrivateProcessTable() {
    whyNot = tryTable();
    isPrivate = whyNot.empty();
}

bool hasPrivateProcessTable() { return isPrivate; }

std::string privateProcessTableMissing() {
    return "needs a process table of its own, and " + whyNot;
}

}  // namespace testing_support
