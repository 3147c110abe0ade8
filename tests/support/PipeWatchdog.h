#pragma once
// For calls that must not wait on a named pipe. The call runs on the calling thread (a window
// call must); from a second into it, a watchdog thread keeps opening the pipe's writing end
// without blocking. That succeeds only while a reader waits for a writer: the reader is let
// through (it reads the end of the data), so the test fails instead of hanging. Plain C++, for
// every test folder.
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
    bool done = false;
    bool waited = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (finished.wait_for(lock, std::chrono::seconds(1), [&] { return done; })) return;
        while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) {
            const int fd = ::open(fifoHostPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                waited = true;
                ::close(fd);
            }
        }
    });
    call();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    return !waited;
}

}  // namespace testing_support
