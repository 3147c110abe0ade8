#include "win/MessagePump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

namespace win {

void pumpMessages() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void waitForEvents(int milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    // A local loop sleeps until the deadline while every event that arrives is handled.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(milliseconds);
    QElapsedTimer clock;
    clock.start();
    if (loop.exec() < 0) {
        // No loop runs once the program has been told to quit (its last window closed while a
        // handler still works): sleep out the time, so a caller's wait does not spin.
        const qint64 left = milliseconds - clock.elapsed();
        if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(left));
    }
}

}  // namespace win
