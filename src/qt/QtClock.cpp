#include "qt/QtClock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace tw::qt {

void QtClock::wait(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) {
        return;
    }
    const QDeadlineTimer deadline(duration, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool fired = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        fired = true;
        loop.quit();
    });
    while (!deadline.hasExpired()) {
        // Round up: a timer due a fraction of a millisecond early would end the wait short.
        const qint64 remaining = (deadline.remainingTimeNSecs() + 999'999) / 1'000'000;
        fired = false;
        timer.start(std::chrono::milliseconds(remaining));
        loop.exec();
        if (!fired) {
            // The application is quitting: no event loop runs any more, and a caller that
            // waits in a loop must not spin. Sleep out the rest instead.
            timer.stop();
            while (!deadline.hasExpired()) {
                std::this_thread::sleep_for(
                    std::chrono::nanoseconds(deadline.remainingTimeNSecs()));
            }
        }
    }
}

void QtClock::handleEvents() {
    QCoreApplication::processEvents();
}

} // namespace tw::qt
