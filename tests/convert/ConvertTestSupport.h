#pragma once

#include "common/TestSupport.h"
#include "convert/BatchRun.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"
#include "platform/PowerService.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirelo::test {

// What the run did at the platform edge, in order.
struct EdgeLog {
    std::vector<std::string> events;
    void add(const std::string& e) { events.push_back(e); }
    bool has(const std::string& e) const {
        return std::find(events.begin(), events.end(), e) != events.end();
    }
    // Both happened, the first one earlier.
    bool before(const std::string& first, const std::string& second) const {
        const auto a = std::find(events.begin(), events.end(), first);
        return a != events.end() && std::find(a, events.end(), second) != events.end();
    }
};

class FakePower : public PowerService {
public:
    explicit FakePower(EdgeLog& log) : m_log(log) {}
    void inhibitSleep(const QString&) override { m_log.add("inhibit"); }
    void releaseSleep() override { m_log.add("release"); }
    void requestPowerOff() override { m_log.add("poweroff"); }

private:
    EdgeLog& m_log;
};

class FakeFolders : public FolderOpener {
public:
    explicit FakeFolders(EdgeLog& log) : m_log(log) {}
    void openFolder(const QString& path) override { m_log.add("open " + path.toStdString()); }

private:
    EdgeLog& m_log;
};

class FakeMessages : public MessageSink {
public:
    explicit FakeMessages(EdgeLog& log) : m_log(log) {}
    void showError(const QString& text) override { m_log.add("error " + text.toStdString()); }
    void showWarning(const QString& text, const QString& details) override {
        m_log.add("warning " + text.toStdString());
        m_details = details;
    }
    void showInformation(const QString& text) override { m_log.add("info " + text.toStdString()); }
    QString m_details; // of the last warning

private:
    EdgeLog& m_log;
};

// Runs the event loop until the run ends or the time is up; false on time-out.
inline bool waitForRun(BatchRun& run, int timeoutMs = 120000) {
    if (!run.isRunning())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    QObject::connect(&run, &BatchRun::finished, &loop, [&loop] { loop.exit(0); });
    timer.start(timeoutMs);
    return loop.exec() == 0;
}

} // namespace mirelo::test
