#include "qt/QtClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::qt {
namespace {

using namespace std::chrono_literals;

TEST(QtClock, WaitsAtLeastItsTimeAndHandlesEventsMeanwhile) {
    QtClock clock;
    std::vector<std::string> seen;
    QTimer::singleShot(10ms, [&] { seen.push_back("timer"); });
    QElapsedTimer elapsed;
    elapsed.start();
    clock.wait(60ms);
    EXPECT_GE(elapsed.nsecsElapsed(), 60'000'000);
    EXPECT_EQ(seen, (std::vector<std::string>{"timer"}));
}

TEST(QtClock, AWaitInsideAWaitEndsFirstAndTheOuterOneStillLastsItsTime) {
    QtClock clock;
    std::vector<std::string> seen;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(5ms, [&] {
        clock.wait(20ms);
        seen.push_back("inner done");
    });
    clock.wait(50ms);
    seen.push_back("outer done");
    EXPECT_GE(elapsed.nsecsElapsed(), 50'000'000);
    EXPECT_EQ(seen, (std::vector<std::string>{"inner done", "outer done"}));
}

TEST(QtClock, OnceTheApplicationIsQuittingEveryWaitStillLastsItsTime) {
    QtClock clock;
    std::vector<qint64> waited;
    QTimer::singleShot(0ms, [&] {
        // Every event loop now returns at once, the nested ones of the waits too.
        QCoreApplication::exit();
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer elapsed;
            elapsed.start();
            clock.wait(30ms);
            waited.push_back(elapsed.nsecsElapsed());
        }
    });
    QCoreApplication::exec();
    ASSERT_EQ(waited.size(), 3U);
    for (const qint64 ns : waited) {
        EXPECT_GE(ns, 30'000'000);
    }
}

// A wait of nothing returns without entering an event loop: an event already due is still
// pending afterwards. Should a wait loop after all, the due event ends it, so this cannot hang.
TEST(QtClock, ZeroOrNegativeReturnsWithoutHandlingEvents) {
    QtClock clock;
    for (const std::chrono::milliseconds duration : {0ms, -5ms}) {
        SCOPED_TRACE(duration.count());
        bool handled = false;
        QTimer due;
        due.setSingleShot(true);
        QObject::connect(&due, &QTimer::timeout, [&] {
            handled = true;
            QCoreApplication::exit();
        });
        due.start(0ms);
        clock.wait(duration);
        EXPECT_FALSE(handled);
    }
}

} // namespace
} // namespace tw::qt
