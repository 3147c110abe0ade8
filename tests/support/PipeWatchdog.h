#pragma once
// For calls that must not wait on a named pipe (plain C++, for every test folder). The call runs
// on the calling thread, as a window call must. From a second into it, a watchdog keeps opening
// the pipe's writing end without blocking, which succeeds only while a reader waits for a
// writer: that reader is let through, so the test fails instead of hanging.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// Runs `call`; false when it was found waiting to read the pipe.
template <typename Call>
bool callNeverWaitsOnPipe(const std::string& fifoHostPath, Call&& call) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, waited = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait_for(lock, std::chrono::seconds(1), [&] { return done; });
        while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) {
            const int fd = ::open(fifoHostPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            waited = true;
            ::close(fd);
        }
    });
    call();
    std::unique_lock<std::mutex> lock(mutex);
    done = true;
    lock.unlock();
    finished.notify_all();
    watchdog.join();
    return !waited;
}

}  // namespace testing_support
