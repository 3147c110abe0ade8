#pragma once
// The process's umask set for the life of the object, and given back at its end.
#include <sys/stat.h>

namespace testing_support {

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous_;
};

}  // namespace testing_support
