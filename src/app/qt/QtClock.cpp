#include "app/qt/QtClock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

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
            return; // the application is quitting: every event loop was told to end
        }
    }
}

} // namespace tw::qt
