#include "Sandbox.h"

#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <thread>

namespace Sandbox {

namespace {

struct Filter {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_KILL_PROCESS);
    bool ok = ctx != nullptr;
    ~Filter() {
        if (ctx) seccomp_release(ctx);
    }
    void add(std::uint32_t action, int call, std::initializer_list<scmp_arg_cmp> args) {
        if (ok) ok = seccomp_rule_add_array(ctx, action, call, unsigned(args.size()), args.begin()) == 0;
    }
    void allow(int call, std::initializer_list<scmp_arg_cmp> args = {}) { add(SCMP_ACT_ALLOW, call, args); }
};

}  // namespace

bool confine(int input, int output) {
    // The C library sets up its signals for threads when the first one starts, which the filter
    // would not allow later.
    std::thread([] {}).join();
    Filter f;
    // The picture: read in turn (the library's stream), at positions (the header readers), and
    // sought in. The output: written, and sought in for the bitmap's header.
    f.allow(SCMP_SYS(read), {SCMP_A0(SCMP_CMP_EQ, unsigned(input))});
    f.allow(SCMP_SYS(pread64), {SCMP_A0(SCMP_CMP_EQ, unsigned(input))});
    f.allow(SCMP_SYS(lseek), {SCMP_A0(SCMP_CMP_EQ, unsigned(input))});
    f.allow(SCMP_SYS(write), {SCMP_A0(SCMP_CMP_EQ, unsigned(output))});
    f.allow(SCMP_SYS(lseek), {SCMP_A0(SCMP_CMP_EQ, unsigned(output))});
    // Libraries print their complaints on standard error (the TIFF reader does), which the
    // program does not have: they go nowhere.
    for (const int call : {SCMP_SYS(write), SCMP_SYS(writev)})
        f.add(SCMP_ACT_ERRNO(EBADF), call, {SCMP_A0(SCMP_CMP_EQ, unsigned(STDERR_FILENO))});
    // Memory as the allocator takes it: the heap, and private anonymous mappings that are never
    // made executable.
    f.allow(SCMP_SYS(brk));
    f.allow(SCMP_SYS(mmap), {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0),
                             SCMP_A3(SCMP_CMP_MASKED_EQ, MAP_SHARED | MAP_PRIVATE | MAP_ANONYMOUS,
                                     MAP_PRIVATE | MAP_ANONYMOUS)});
    f.allow(SCMP_SYS(mprotect), {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)});
    f.allow(SCMP_SYS(munmap));
    f.allow(SCMP_SYS(mremap));
    f.allow(SCMP_SYS(madvise));
    // The C library's sort asks once how much memory the machine has (the TIFF reader sorts its
    // tag tables).
    f.allow(SCMP_SYS(sysinfo));
    // The first exception a library throws wakes the unwinder's waiters: a call on the
    // program's own memory.
    f.allow(SCMP_SYS(futex));
    f.allow(SCMP_SYS(exit_group));
    f.allow(SCMP_SYS(exit));
    // Threads of the program's own (the WebP decoder starts a worker), sharing its memory,
    // files and limits; never a process, and no namespace. The C library asks for clone3 first,
    // whose flags a filter cannot see, and takes clone when it is not there.
    constexpr std::uint64_t shared = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD;
    constexpr std::uint64_t namespaces = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS | CLONE_NEWIPC |
                                         CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET;
    f.allow(SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, shared | namespaces, shared)});
    f.add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {});
    // What a new thread sets up and ends with, in its own memory and signal mask.
    f.allow(SCMP_SYS(set_robust_list));
    f.allow(SCMP_SYS(rseq));
    f.allow(SCMP_SYS(rt_sigprocmask));
    // A kernel without filters.
    if (::prctl(PR_GET_SECCOMP) < 0 && errno == EINVAL) return true;
    return f.ok && seccomp_load(f.ctx) == 0;
}

}  // namespace Sandbox
