#include "ControlLock.h"

namespace clipsight {

ControlLock::ControlLock() {
    // Re-entrant for the thread that holds it, as a critical section is.
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section_, &attr);
    pthread_mutexattr_destroy(&attr);
}

ControlLock::~ControlLock() { pthread_mutex_destroy(&section_); }

void ControlLock::Lock() { pthread_mutex_lock(&section_); }

void ControlLock::Unlock() { pthread_mutex_unlock(&section_); }

}  // namespace clipsight
