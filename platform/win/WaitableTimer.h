#pragma once
// Named waitable timers shared program-wide: two opens of one name give one timer, and setting
// it again re-arms it for every waiter.
#include <QString>

#include <chrono>
#include <cstdint>

namespace win {

using TimerHandle = std::uint32_t;  // 0: none

// Creates the timer of that name or opens the existing one; 0 when the name is empty.
TimerHandle openWaitableTimer(const QString& name);
// Arms the timer to signal after `milliseconds` (relative; negative or 0: at once).
bool setWaitableTimer(TimerHandle handle, long long milliseconds);
// Milliseconds until the timer signals; 0 when signalled; -1 for an unknown handle.
long long timerRemaining(TimerHandle handle);
void closeWaitableTimer(TimerHandle handle);
// Open handles (for leak checks).
int openTimerCount();

}  // namespace win
