#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace mirelo::test {

// Runs the event loop until `done()` holds or `ms` pass (tests only).
template <typename Predicate> bool runUntil(Predicate done, int ms = 15000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace mirelo::test
