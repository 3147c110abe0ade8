// The picture decoder's confinement: its system-call filter leaves it its input, its output,
// memory and threads of its own, and ends it on anything else; it never outlives the program
// that started it, and does nothing when it is started wrongly.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "DecoderProtocol.h"
#include "Sandbox.h"

namespace {

char buffer[16];
pid_t parent = 0;

// Runs the call in a child that entered the filter with descriptors 0 and 1 as its input and
// output: 0 when the call returned (the child's status then), else minus the signal that ended it.
int confinedCall(long (*call)()) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!Sandbox::confine(STDIN_FILENO, STDOUT_FILENO)) ::_exit(99);
        call();
        ::syscall(SYS_exit_group, 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

// The state of a process as /proc has it ('Z' when it has ended and not yet been reaped); 0 when
// there is no such process.
char processState(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

const std::string kDecoder = LUMIDOC_PROGRAM_DIR "/folipress-decoder";

// The decoder's exit status, started with the arguments after "folipress-decoder" (PARENT stands
// for this process) on the given input and output; -1 when it did not exit.
int decoderStatus(std::vector<std::string> arguments, const char* input, const char* output) {
    for (std::string& a : arguments)
        if (a == "PARENT") a = std::to_string(::getpid());
    arguments.insert(arguments.begin(), "folipress-decoder");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY, 0);
    char* envp[] = {nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, kDecoder.c_str(), &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

TEST(DecoderSandbox, ADecoderStartedWronglyDoesNothing) {
    using namespace DecoderProtocol;
    const char* picture = LUMIDOC_TEST_DATA "/pictures/scan.sgi";
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        const char* input;
        const char* output;
        int status;
    } starts[] = {
        {"no step", {"PARENT"}, picture, "/dev/null", kBadArguments},
        {"a step it does not know", {"guess", "PARENT", "sgi"}, picture, "/dev/null", kBadArguments},
        {"a size beyond the bound", {"decode", "PARENT", "28", "20000", "20000"}, picture, "/dev/null", kBadArguments},
        {"a size that is no number", {"decode", "PARENT", "28", "13", "7x"}, picture, "/dev/null", kBadArguments},
        {"a caller that is not its own", {"probe", "999999999", "sgi"}, picture, "/dev/null", kNotConfined},
        {"no file to read", {"probe", "PARENT", "sgi"}, "/dev/zero", "/dev/null", kUnreadable},
        {"no room for the bitmap", {"decode", "PARENT", "28", "13", "7"}, picture, "/dev/full", kNotWritten},
        {"another size than the header's", {"decode", "PARENT", "28", "13", "8"}, picture, "/dev/null", kSizeDiffers},
        {"a picture and its size", {"decode", "PARENT", "28", "13", "7"}, picture, "/dev/null", kDone},
    };
    for (const auto& s : starts) EXPECT_EQ(decoderStatus(s.arguments, s.input, s.output), s.status) << s.what;
}

TEST(DecoderSandbox, LeavesInputOutputAndMemoryAndEndsTheDecoderOnAnythingElse) {
    parent = ::getpid();
    const struct {
        const char* what;
        long (*call)();
        int end;
    } calls[] = {
        {"read its input", [] { return ::syscall(SYS_read, 0, buffer, 0); }, 0},
        {"write its output", [] { return ::syscall(SYS_write, 1, buffer, 0); }, 0},
        {"take memory", [] { return ::syscall(SYS_mmap, 0, 1 << 20, PROT_READ | PROT_WRITE,
                                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0); }, 0},
        {"complain on standard error, which goes nowhere",
         [] { return ::syscall(SYS_write, 2, buffer, 1) == -1 && errno == EBADF ? 0L : ::syscall(SYS_exit_group, 7); },
         0},
        {"open a file", [] { return ::syscall(SYS_openat, AT_FDCWD, "/etc/hostname", O_RDONLY); }, -SIGSYS},
        {"read another descriptor", [] { return ::syscall(SYS_read, 3, buffer, 0); }, -SIGSYS},
        {"write another descriptor", [] { return ::syscall(SYS_write, 4, buffer, 0); }, -SIGSYS},
        {"make memory executable", [] { return ::syscall(SYS_mmap, 0, 4096, PROT_READ | PROT_EXEC,
                                                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0); }, -SIGSYS},
        {"share memory", [] { return ::syscall(SYS_mmap, 0, 4096, PROT_READ | PROT_WRITE,
                                               MAP_SHARED | MAP_ANONYMOUS, -1, 0); }, -SIGSYS},
#ifndef __SANITIZE_ADDRESS__  // whose own thread start makes calls the decoder, built without it, never makes
        {"start a thread of its own", [] {
             std::thread([] {}).join();
             return 0L;
         }, 0},
#endif
        {"start a process", [] { return ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0); }, -SIGSYS},
        {"start a thread in a namespace of its own",
         [] { return ::syscall(SYS_clone, CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD | CLONE_NEWNET,
                               0, 0, 0, 0); }, -SIGSYS},
        {"reach the network", [] { return ::syscall(SYS_socket, AF_INET, SOCK_STREAM, 0); }, -SIGSYS},
        {"signal another process", [] { return ::syscall(SYS_kill, parent, 0); }, -SIGSYS},
    };
    for (const auto& c : calls) EXPECT_EQ(confinedCall(c.call), c.end) << c.what;
}

TEST(DecoderSandbox, ADecoderEndsWithTheProgramThatStartedIt) {
    // A go-between starts the decoder on a picture that takes it seconds (16384 x 16384 colour
    // pixels, held sparsely) and ends at once.
    const int picture = ::memfd_create("large.ppm", 0);
    const std::string header = "P6\n16384 16384\n255\n";
    ASSERT_EQ(::write(picture, header.data(), header.size()), ssize_t(header.size()));
    ASSERT_EQ(::ftruncate(picture, off_t(header.size() + 3ULL * 16384 * 16384)), 0);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t between = ::fork();
    if (between == 0) {
        std::string me = std::to_string(::getpid());
        char* argv[] = {const_cast<char*>("folipress-decoder"), const_cast<char*>("decode"), me.data(),
                        const_cast<char*>("15"), const_cast<char*>("16384"), const_cast<char*>("16384"), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, picture, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        char* envp[] = {nullptr};
        if (posix_spawn(&pid, kDecoder.c_str(), &actions, nullptr, argv, envp) != 0) ::_exit(1);
        ::write(ends[1], &pid, sizeof pid);
        ::usleep(200000);  // it has taken its limits
        ::_exit(0);
    }
    pid_t pid = 0;
    ASSERT_EQ(::read(ends[0], &pid, sizeof pid), ssize_t(sizeof pid));
    ::close(ends[0]);
    ::close(ends[1]);
    int status = 0;
    ::waitpid(between, &status, 0);
    // Its picture would keep it for seconds; the end of its caller ends it at once.
    for (int i = 0; i < 100 && processState(pid) != 0 && processState(pid) != 'Z'; ++i) ::usleep(10000);
    const char state = processState(pid);
    EXPECT_TRUE(state == 0 || state == 'Z') << state;
    ::close(picture);
}
