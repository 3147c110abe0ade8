#pragma once
// The limits the decoder program takes before it reads a byte of its picture.
#include <cstdint>
#include <sys/types.h>

namespace Limits {

// Ties the program's life to its caller's: it is killed when the caller ends, and ends at once
// when the caller `parent` is gone already. False when that cannot be arranged.
bool tieToParent(pid_t parent);

// Address space, CPU seconds (a SIGXCPU then, a kill a second later) and the largest file it may
// write; no core file, and no other process may look into it. False when one cannot be set.
bool apply(std::uint64_t addressSpace, int cpuSeconds, std::uint64_t fileBytes);

}  // namespace Limits
