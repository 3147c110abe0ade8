#pragma once
// The decoder program's system-call filter: once in, the program can read its one input, write
// its one output, take and give back memory, and end. Any other call ends it (SIGSYS).

namespace Sandbox {

// Enters the filter for good. False when the filter could not be made or loaded; true also where
// the kernel has no filters at all (the limits then are the only guard).
bool confine(int input, int output);

}  // namespace Sandbox
