#include "Limits.h"

#include <malloc.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace Limits {

bool tieToParent(pid_t parent) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return false;
    // The caller may have ended before the line above took effect.
    return ::getppid() == parent;
}

bool apply(std::uint64_t addressSpace, int cpuSeconds, std::uint64_t fileBytes) {
    const struct {
        int resource;
        rlim_t soft, hard;
    } limits[] = {
        {RLIMIT_AS, rlim_t(addressSpace), rlim_t(addressSpace)},
        {RLIMIT_CPU, rlim_t(cpuSeconds), rlim_t(cpuSeconds) + 1},
        {RLIMIT_FSIZE, rlim_t(fileBytes), rlim_t(fileBytes)},
        {RLIMIT_CORE, 0, 0},
    };
    for (const auto& l : limits) {
        // A lower limit the program was started under stays.
        rlimit r{};
        if (::getrlimit(l.resource, &r) != 0) return false;
        const rlim_t hard = r.rlim_max == RLIM_INFINITY || l.hard < r.rlim_max ? l.hard : r.rlim_max;
        r = {l.soft < hard ? l.soft : hard, hard};
        if (::setrlimit(l.resource, &r) != 0) return false;
    }
    // A library's worker threads take their memory from the one heap: a heap of a thread's own
    // would hold 64 MB of the address space for nothing.
    if (::mallopt(M_ARENA_MAX, 1) != 1) return false;
    return ::prctl(PR_SET_DUMPABLE, 0) == 0;
}

}  // namespace Limits
