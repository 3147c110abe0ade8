#include "clsWaitableTimer.h"

#include <QTime>

#include "win/MessagePump.h"
#include "win/RuntimeError.h"
#include "win/WinPath.h"

clsWaitableTimer::~clsWaitableTimer() {
    if (mlTimer_ != 0) win::closeWaitableTimer(mlTimer_);
}

QString clsWaitableTimer::timerName() {
    return win::exeName() + "Timer" + QTime::currentTime().toString("mmss");
}

void clsWaitableTimer::Wait(int MilliSeconds) {
    try {
        mlTimer_ = win::openWaitableTimer(timerName());
        if (mlTimer_ == 0 || !win::setWaitableTimer(mlTimer_, MilliSeconds)) {
            // No timer to wait on: still pause for the time asked, in the event loop.
            win::waitForEvents(MilliSeconds);
            win::pumpMessages();
        } else {
            // Another wait under the same name may re-arm the timer meanwhile (from a handler
            // run inside this one); the wait ends when the timer, as last set, has signalled.
            // Sleeping in short slices notices such a re-arm soon after the nested wait returns.
            while (true) {
                const long long left = win::timerRemaining(mlTimer_);
                if (left <= 0) break;
                win::waitForEvents(int(std::min<long long>(left, 25)));
                win::pumpMessages();
            }
        }
        if (mlTimer_ != 0) win::closeWaitableTimer(mlTimer_);
        mlTimer_ = 0;
    } catch (const win::RuntimeError& e) {
        throw win::RuntimeError(e.number(), "[clsWaitableTimer.Wait]" + e.description(), e.source());
    }
}
