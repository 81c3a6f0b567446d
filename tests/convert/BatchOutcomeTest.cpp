// The words a batch ends with: the desktop's message and notification and mirelo-cli's last line.

#include "convert/BatchOutcome.h"

#include <QStringList>

#include <vector>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

constexpr RowState kOk = RowState::Done, kFail = RowState::Failed, kCancel = RowState::Cancelled;

BatchOutcome outcomeOf(const std::vector<RowState>& states) {
    BatchOutcome outcome;
    for (int n = 1; n <= int(states.size()); ++n)
        outcome.add(QStringLiteral("/in/%1.avi").arg(n), states[n - 1],
                    QStringLiteral("reason %1").arg(n));
    return outcome;
}

} // namespace

TEST(BatchOutcome, SummaryEndMessageAndLastLine) {
    struct Case {
        std::vector<RowState> states;
        RunEnd end;
        const char* summary;
        const char* line;
        bool clean;
    };
    const Case cases[] = {
        {{kOk, kOk, kOk, kOk},
         RunEnd::Completed,
         "4 files converted",
         "Conversion completed: 4 of 4 files converted.",
         true},
        {{kOk},
         RunEnd::Completed,
         "1 file converted",
         "Conversion completed: 1 of 1 file converted.",
         true},
        {{kOk, kOk, kFail, kOk},
         RunEnd::Completed,
         "3 of 4 files converted, 1 failed",
         "Conversion completed: 3 of 4 files converted, 1 failed.",
         false},
        {{kFail},
         RunEnd::Completed,
         "0 of 1 file converted, 1 failed",
         "Conversion failed: 0 of 1 file converted, 1 failed.",
         false},
        {{kOk, kCancel},
         RunEnd::Cancelled,
         "1 of 2 files converted, 1 cancelled",
         "Conversion cancelled: 1 of 2 files converted, 1 cancelled.",
         false},
        {{kOk, kFail, kFail},
         RunEnd::Stopped,
         "1 of 3 files converted, 2 failed",
         "Conversion stopped: 1 of 3 files converted, 2 failed.",
         false},
        {{},
         RunEnd::Completed,
         "0 of 0 files converted",
         "Conversion failed: 0 of 0 files converted.",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const BatchOutcome outcome = outcomeOf(c.states);
        EXPECT_EQ(outcome.summary(), QLatin1String(c.summary));
        EXPECT_EQ(outcome.line(c.end), QLatin1String(c.line));
        EXPECT_EQ(outcome.allConverted(), c.clean);
        EXPECT_EQ(outcome.endMessage() == QStringLiteral("Conversion completed!"), c.clean);
    }
}

// A failed row is named in the message; its reason is in the details, not only in a tooltip.
TEST(BatchOutcome, FailuresAreNamedWithTheirReasons) {
    // A row skipped as unreadable is not converted either.
    const BatchOutcome outcome = outcomeOf({kOk, kFail, kOk, RowState::Skipped});
    EXPECT_EQ(outcome.endMessage(),
              QStringLiteral("Conversion completed: 2 of 4 files converted, "
                             "2 failed.\n\nNot converted:\n/in/2.avi\n/in/4.avi"));
    EXPECT_EQ(outcome.failureDetails(),
              QStringLiteral("/in/2.avi:\nreason 2\n\n/in/4.avi:\nreason 4"));
    EXPECT_TRUE(outcomeOf({kOk, kOk}).failureDetails().isEmpty());
}
