#include "convert/AutoJobLimit.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

constexpr qint64 kGiB = qint64(1) << 30;

// A machine whose load the test sets: time passes only when the test says so.
class FakeLoad : public CpuLoadSource {
public:
    explicit FakeLoad(int cores, qint64 memory = 8 * kGiB) : m_cores(cores) {
        m_now = {1000, 0, 0, memory};
    }
    int cores() const override { return m_cores; }
    CpuSample sample() override { return m_now; }

    // `seconds` in which other programs keep `others` cores busy and the run's jobs `own`.
    void pass(double seconds, double others, double own) {
        m_now.wallSeconds += seconds;
        m_now.busyCoreSeconds += (others + own) * seconds;
        m_now.ownCoreSeconds += own * seconds;
    }
    void setMemory(qint64 bytes) { m_now.memAvailableBytes = bytes; }

private:
    int m_cores;
    CpuSample m_now;
};

// Asks every quarter second, as the run does, for `seconds`; the last answer.
bool askWhile(AutoJobLimit& limit, FakeLoad& load, int running, double seconds, double others,
              double own) {
    bool answer = false;
    for (double t = 0; t < seconds; t += 0.25) {
        load.pass(0.25, others, own);
        answer = limit.mayStart(running);
    }
    return answer;
}

TEST(AutoJobLimit, AnotherJobOnlyWithAnIdleCoreAndMemory) {
    const struct {
        const char* name;
        int cores;
        int running;
        double others; // cores busy with other programs
        double own;    // cores busy with the run's jobs
        qint64 memory;
        bool mayStart;
    } cases[] = {
        {"an encoder using 1.1 of 2 cores leaves one idle", 2, 1, 0, 1.1, 8 * kGiB, true},
        {"an encoder using 1.3 of 2 cores leaves one idle", 2, 1, 0, 1.3, 8 * kGiB, true},
        {"a job waiting for the disk still holds its core", 2, 1, 0, 0.2, 8 * kGiB, true},
        {"one multi-threaded job keeps both cores busy", 2, 1, 0, 1.9, 8 * kGiB, false},
        {"other programs keep the other core busy", 2, 1, 1.0, 1.0, 8 * kGiB, false},
        {"less than 1 GB of memory available", 2, 1, 0, 1.1, kGiB - 1, false},
        {"memory not known", 2, 1, 0, 1.1, -1, false},
        {"one job per core at most, even on an idle machine", 2, 2, 0, 0.5, 8 * kGiB, false},
        {"one core: never a second job", 1, 1, 0, 0.1, 8 * kGiB, false},
        {"sixteen cores, one job using six", 16, 1, 0, 6, 8 * kGiB, true},
        {"sixteen cores, other programs using 14.8", 16, 1, 14.8, 1, 8 * kGiB, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLoad load(c.cores, c.memory);
        AutoJobLimit limit(load);
        limit.reset();
        // The run's jobs started one by one while places came free.
        for (int i = 0; i < c.running; ++i) {
            ASSERT_TRUE(i == 0 || askWhile(limit, load, i, 2, 0, 0.9 * i));
        }
        EXPECT_EQ(askWhile(limit, load, c.running, 3, c.others, c.own), c.mayStart);
        // The first row always starts.
        EXPECT_TRUE(limit.mayStart(0));
    }
}

// The measurement begins a quarter second after the jobs changed (the first question about them)
// and needs half a second; a start-up moment in which the new encoder has not loaded the cores yet
// decides nothing.
TEST(AutoJobLimit, MeasuresOnlyASettledHalfSecondAfterEachChange) {
    FakeLoad load(2);
    AutoJobLimit limit(load);
    limit.reset();
    EXPECT_FALSE(askWhile(limit, load, 1, 0.75, 0, 0)) << "a quarter second measured is not enough";
    EXPECT_TRUE(askWhile(limit, load, 1, 0.25, 0, 0));

    // A multi-threaded encoder: idle while it opens its input, then both cores busy.
    limit.reset();
    EXPECT_FALSE(limit.mayStart(1));
    load.pass(0.4, 0, 0);
    EXPECT_FALSE(limit.mayStart(1));
    EXPECT_FALSE(askWhile(limit, load, 1, 10, 0, 1.95));
    EXPECT_EQ(limit.places(), 1);
}

// Rows shorter than the measurement, each replaced by the next at once, still gain company when
// they leave a core idle; a multi-threaded encoder's short rows never do.
TEST(AutoJobLimit, ShortRowsReplacedAtOnceGainAPlaceWhenACoreIsIdle) {
    for (const auto& [own, gains] : {std::pair{1.2, true}, std::pair{1.9, false}}) {
        SCOPED_TRACE(own);
        FakeLoad load(2);
        AutoJobLimit limit(load);
        limit.reset();
        bool second = false;
        for (int row = 0; row < 6 && !second; ++row) {
            ASSERT_TRUE(limit.mayStart(0)); // the row that ended is replaced
            second = askWhile(limit, load, 1, 1.0, 0, own);
        }
        EXPECT_EQ(second, gains);
    }
}

// A row that ends gives its place to the next at once; a place goes again when other programs
// need the cores.
TEST(AutoJobLimit, PlacesAreKeptAcrossRowsAndGiveWayToOtherPrograms) {
    FakeLoad load(2);
    AutoJobLimit limit(load);
    limit.reset();
    ASSERT_TRUE(askWhile(limit, load, 1, 2, 0, 1.1));
    EXPECT_EQ(limit.places(), 2);
    // The second job started; then one of them ends and the next row takes its place.
    EXPECT_FALSE(askWhile(limit, load, 2, 3, 0, 2.0));
    EXPECT_TRUE(limit.mayStart(1)) << "its place is free at once";

    // Other programs need a core: the place goes, and stays gone while they run.
    EXPECT_FALSE(askWhile(limit, load, 2, 3, 1.0, 1.5));
    EXPECT_EQ(limit.places(), 1);
    EXPECT_FALSE(askWhile(limit, load, 1, 3, 1.0, 1.0));
    EXPECT_EQ(limit.places(), 1);
}

// Jobs whose encoders run in one thread hold a core each: the next row starts without a
// measurement of them while other programs, measured since the run began, leave a core idle.
TEST(AutoJobLimit, OneThreadJobsGetCompanyAtOnceWhileACoreIsIdle) {
    const struct {
        const char* name;
        int cores;
        double others; // cores busy with other programs since the run began
        qint64 memory;
        double since; // seconds since the run began
        int atOnce;   // jobs that start without time passing
    } cases[] = {
        {"two cores, nothing else running", 2, 0, 8 * kGiB, 0.15, 2},
        {"sixteen cores: one job per core", 16, 0, 8 * kGiB, 0.15, 16},
        {"sixteen cores, other programs using ten", 16, 10, 8 * kGiB, 0.15, 6},
        {"other programs keep most of the other core busy", 2, 0.7, 8 * kGiB, 0.15, 1},
        {"less than 1 GB of memory available", 2, 0, kGiB - 1, 0.15, 1},
        {"one core", 1, 0, 8 * kGiB, 0.15, 1},
        {"the run began too recently to know the other programs", 2, 0, 8 * kGiB, 0.05, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLoad load(c.cores, c.memory);
        AutoJobLimit limit(load);
        limit.reset();
        load.pass(c.since, c.others, 0.5);
        int running = 1;
        while (running < 64 && limit.mayStart(running, true))
            ++running;
        EXPECT_EQ(running, c.atOnce);
        EXPECT_EQ(limit.places(), c.atOnce);
    }
    // Jobs not known to run in one thread wait for a measurement.
    FakeLoad load(2);
    AutoJobLimit limit(load);
    limit.reset();
    load.pass(0.15, 0, 0.5);
    EXPECT_FALSE(limit.mayStart(1, false));
}

// Once a measurement finds the cores overloaded (decoders can keep more than one core busy) and
// takes a place back, only measurements give places in that run.
TEST(AutoJobLimit, AfterAPlaceIsTakenBackOnlyMeasurementsDecide) {
    FakeLoad load(2);
    AutoJobLimit limit(load);
    limit.reset();
    load.pass(0.15, 0, 0.5);
    ASSERT_TRUE(limit.mayStart(1, true));
    EXPECT_FALSE(askWhile(limit, load, 2, 2, 0.2, 2.6));
    ASSERT_EQ(limit.places(), 1);
    EXPECT_FALSE(limit.mayStart(1, true)) << "one job ended; its place is gone";
    EXPECT_FALSE(askWhile(limit, load, 1, 2, 0.2, 1.6));
    EXPECT_TRUE(askWhile(limit, load, 1, 2, 0.2, 1.1)) << "measured, a core is idle again";

    limit.reset();
    load.pass(0.15, 0, 0.5);
    EXPECT_TRUE(limit.mayStart(1, true)) << "a new run trusts the encoders again";
}

} // namespace
