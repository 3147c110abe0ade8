#pragma once
// A pause that keeps the window responsive: waits on a named waitable timer while pumping
// window messages.
#include "win/WaitableTimer.h"

class clsWaitableTimer {
public:
    clsWaitableTimer() = default;
    ~clsWaitableTimer();  // closes a handle an error left open
    clsWaitableTimer(const clsWaitableTimer&) = delete;
    clsWaitableTimer& operator=(const clsWaitableTimer&) = delete;

    // Returns after `MilliSeconds`, running window messages all the while. Errors are passed on
    // with "[clsWaitableTimer.Wait]" in front of their description.
    void Wait(int MilliSeconds);

    // Name of the timer a wait started now would use: program name + "Timer" + minutes and
    // seconds of the local time ("lumidocTimer0735").
    static QString timerName();

    win::TimerHandle handle() const { return mlTimer_; }

private:
    win::TimerHandle mlTimer_ = 0;
};
