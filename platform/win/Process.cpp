#include "win/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "win/CommandLine.h"
#include "win/ProcessTable.h"

extern char** environ;

namespace win {

StartedProcess startProcess(const QString& commandLine, const StartOptions& options) {
    StartedProcess result;
    int fds[2] = {-1, -1};
    if (options.captureOutput) {
        if (pipe2(fds, O_CLOEXEC) != 0) {
            result.pipeFailed = true;
            result.errorNumber = errno;
            return result;
        }
    }
    const ResolvedCommand cmd = resolveCommandLine(commandLine);
    if (!cmd.found) {
        closeFd(fds[0]);
        closeFd(fds[1]);
        result.errorNumber = ENOENT;
        return result;
    }

    std::vector<QByteArray> argBytes;
    argBytes.push_back(cmd.imageName.toLocal8Bit());
    for (const QString& a : cmd.arguments) argBytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : argBytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray program = cmd.program.toLocal8Bit();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.captureOutput) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    }
    const QByteArray folder = options.workingFolder.toLocal8Bit();
    if (!folder.isEmpty()) posix_spawn_file_actions_addchdir_np(&actions, folder.constData());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A child gets the default signal handling whatever ours is.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.constData(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        closeFd(fds[0]);
        closeFd(fds[1]);
        result.errorNumber = rc;
        return result;
    }
    closeFd(fds[1]);
    registerChild(pid, cmd.imageName);
    result.started = true;
    result.pid = pid;
    result.outputFd = fds[0];
    result.imageName = cmd.imageName;
    return result;
}

long long bytesWaiting(int fd) {
    int n = 0;
    if (fd < 0 || ioctl(fd, FIONREAD, &n) != 0) return -1;
    return n;
}

long long readPipe(int fd, char* buffer, long long maxBytes) {
    if (fd < 0) return -1;
    while (true) {
        const ssize_t n = ::read(fd, buffer, size_t(maxBytes));
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace win
