// The control object's lock: one critical section, set up with the object and torn down with
// it. Nothing in the component takes it; it is there for what the host may build on it.
#pragma once

#include <pthread.h>

namespace clipsight {

class ControlLock {
public:
    ControlLock();
    virtual ~ControlLock();
    ControlLock(const ControlLock&) = delete;
    ControlLock& operator=(const ControlLock&) = delete;

    virtual void Lock();
    virtual void Unlock();

private:
    pthread_mutex_t section_;
};

}  // namespace clipsight
