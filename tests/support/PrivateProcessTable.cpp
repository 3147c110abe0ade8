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
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace testing_support {

namespace {

bool isPrivate = false;
bool required = false;

// Exit status of the namespace's first process when it could not show its own /proc.
constexpr int kNoPrivateProc = 119;

bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

std::string failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Inside a user namespace the process holds every capability over the files of its own user;
// the tests must meet read-only files and folders as the user does.
void dropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    syscall(SYS_capset, &header, data);
}

}  // namespace

bool requirePrivateProcessTable() {
    required = true;
    return true;
}

bool privateProcessTableRequired() { return required; }

bool hasPrivateProcessTable() { return isPrivate; }

std::string enterPrivateProcessTable() {
    // Plays a machine that allows no namespace, to show what the tests then do.
    if (const char* v = getenv("LUMIDOC_TEST_NO_PID_NAMESPACE"); v && *v) {
        return "no PID namespace can be made here (LUMIDOC_TEST_NO_PID_NAMESPACE is set)";
    }
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    bool userNamespace = false;
    if (unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
        // Without the right to make one directly, a user namespace of our own gives it.
        if (unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNS) != 0) {
            return failure("no PID namespace can be made here");
        }
        userNamespace = true;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            const std::string reason = failure("the user namespace takes no id map");
            dropCapabilities();
            return reason;
        }
    }

    // Only a new child enters the new PID namespace: it runs the tests, this process waits.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        const std::string reason = failure("cannot start the test in its namespace");
        if (userNamespace) dropCapabilities();
        return reason;
    }
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == kNoPrivateProc) {
            if (userNamespace) dropCapabilities();
            return "no /proc of its own can be shown in the PID namespace";
        }
        if (WIFSIGNALED(status)) {
            signal(WTERMSIG(status), SIG_DFL);
            kill(getpid(), WTERMSIG(status));
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }

    // The namespace ends with the test: nothing it started outlives a killed test runner.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        std::fprintf(stderr, "%s\n", failure("mounting /proc in the PID namespace").c_str());
        _exit(kNoPrivateProc);
    }
    if (userNamespace) dropCapabilities();
    isPrivate = true;
    return std::string();
}

}  // namespace testing_support
